#!/usr/bin/python3
"""Forwards TCP connections from 127.0.0.1 to a local port as a path with a fixed one-way delay
would: every chunk of bytes arrives `--delay-ms` after it was sent, in each direction, and the
server sees a new connection one and a half round trips after the client opened it (the TCP
handshake). Writes the port it listens on to --port-file when it is ready."""

import argparse
import asyncio
import os


async def forward(reader, writer_ready, delay):
    """Copies reader to the writer that writer_ready gives, each chunk `delay` seconds late."""
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def take():
        while True:
            try:
                data = await reader.read(1 << 16)
            except (ConnectionError, OSError):
                data = b""
            queue.put_nowait((loop.time() + delay, data))
            if not data:
                return

    async def give():
        writer = await writer_ready
        while True:
            due, data = await queue.get()
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            try:
                if not data:
                    writer.write_eof()
                    return
                writer.write(data)
                await writer.drain()
            except (ConnectionError, OSError):
                return

    await asyncio.gather(take(), give())


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--target-port", type=int, required=True)
    parser.add_argument("--delay-ms", type=float, required=True, help="one-way delay")
    parser.add_argument("--port-file", required=True)
    args = parser.parse_args()
    delay = args.delay_ms / 1000.0

    async def serve(client_reader, client_writer):
        loop = asyncio.get_running_loop()
        server_writer = loop.create_future()
        client_ready = loop.create_future()
        client_ready.set_result(client_writer)

        async def upstream():
            # SYN, SYN-ACK, ACK: the server accepts one and a half round trips after the
            # client started. What the client sent meanwhile waits in the queue.
            await asyncio.sleep(3 * delay)
            try:
                reader, writer = await asyncio.open_connection("127.0.0.1", args.target_port)
            except OSError as error:
                server_writer.set_exception(error)
                raise
            server_writer.set_result(writer)
            await forward(reader, client_ready, delay)

        try:
            await asyncio.gather(forward(client_reader, server_writer, delay), upstream())
        except (ConnectionError, OSError):
            pass
        finally:
            client_writer.close()
            if server_writer.done() and server_writer.exception() is None:
                server_writer.result().close()

    server = await asyncio.start_server(serve, "127.0.0.1", 0)
    port = server.sockets[0].getsockname()[1]
    temp = args.port_file + ".tmp"
    with open(temp, "w") as f:
        f.write(f"{port}\n")
    os.rename(temp, args.port_file)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
