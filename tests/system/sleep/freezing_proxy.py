#!/usr/bin/python3
"""Forwards TCP connections from 127.0.0.1 to a local port, and can freeze them: on SIGUSR1
every connection open at that moment stops forwarding both ways without closing either side,
as a link that died silently does (a laptop that woke on another network). Later connections
forward as usual. Writes the port it listens on to --port-file when ready, and appends one line
"accepted" to --log for every connection it accepts."""

import argparse
import asyncio
import os
import signal


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--target-port", type=int, required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--log", required=True)
    args = parser.parse_args()
    frozen = set()
    open_now = set()

    def freeze():
        frozen.update(open_now)

    asyncio.get_running_loop().add_signal_handler(signal.SIGUSR1, freeze)

    async def pipe(reader, writer, connection):
        try:
            while True:
                data = await reader.read(1 << 16)
                if not data:
                    break
                if connection in frozen:
                    # Swallowed: the other side never hears of it, and nothing closes.
                    await asyncio.Event().wait()
                writer.write(data)
                await writer.drain()
        except (ConnectionError, OSError):
            pass
        if connection not in frozen:
            writer.close()

    async def serve(client_reader, client_writer):
        with open(args.log, "a") as log:
            log.write("accepted\n")
        try:
            server_reader, server_writer = await asyncio.open_connection(
                "127.0.0.1", args.target_port)
        except OSError:
            client_writer.close()
            return
        connection = object()
        open_now.add(connection)
        await asyncio.gather(pipe(client_reader, server_writer, connection),
                             pipe(server_reader, client_writer, connection))
        open_now.discard(connection)

    server = await asyncio.start_server(serve, "127.0.0.1", 0)
    temp = args.port_file + ".tmp"
    with open(temp, "w") as f:
        f.write(f"{server.sockets[0].getsockname()[1]}\n")
    os.rename(temp, args.port_file)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
