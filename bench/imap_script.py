#!/usr/bin/python3
"""A scripted IMAP server on 127.0.0.1 that misbehaves on purpose, for the push benches. It
takes any LOGIN, has an INBOX of three messages, one unseen, and answers IDLE as --mode says:
  refuse-idle  advertises IDLE but answers it with BAD;
  flood        accepts IDLE and then writes --lines "* N EXISTS" lines within a second, in
               chunks of --chunk lines.
Writes its port to --port-file when ready; appends one line per event to --log: "login", and
"recount" for each STATUS or SEARCH (a count of the unseen messages)."""

import argparse
import asyncio
import os


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mode", choices=["refuse-idle", "flood"], required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--lines", type=int, default=10000)
    parser.add_argument("--chunk", type=int, default=100)
    args = parser.parse_args()

    def log(event):
        with open(args.log, "a") as f:
            f.write(event + "\n")

    async def serve(reader, writer):
        exists = 3
        idle_tag = None
        flood = None

        def send(text):
            writer.write(text.encode() + b"\r\n")

        async def flood_lines():
            nonlocal exists
            chunks = max(1, args.lines // args.chunk)
            for _ in range(chunks):
                lines = []
                for _ in range(args.chunk):
                    exists += 1
                    lines.append(f"* {exists} EXISTS")
                send("\r\n".join(lines))
                await writer.drain()
                await asyncio.sleep(1.0 / chunks)

        send("* OK [CAPABILITY IMAP4rev1 IDLE] scripted server ready")
        try:
            while True:
                line = await reader.readline()
                if not line:
                    break
                words = line.decode(errors="replace").strip().split(" ")
                if idle_tag is not None:
                    if words[0].upper() == "DONE":
                        send(f"{idle_tag} OK IDLE done")
                        idle_tag = None
                    continue
                tag, command = words[0], (words[1].upper() if len(words) > 1 else "")
                if command == "CAPABILITY":
                    send("* CAPABILITY IMAP4rev1 IDLE")
                    send(f"{tag} OK done")
                elif command == "LOGIN":
                    log("login")
                    send(f"{tag} OK logged in")
                elif command in ("EXAMINE", "SELECT"):
                    send(f"* {exists} EXISTS")
                    send("* OK [UIDVALIDITY 1] ok")
                    send(f"* OK [UIDNEXT {exists + 1}] ok")
                    send(f"{tag} OK [READ-ONLY] done")
                elif command in ("STATUS", "SEARCH"):
                    log("recount")
                    send(f"* STATUS INBOX (UNSEEN {exists - 2})")
                    send(f"{tag} OK done")
                elif command == "IDLE":
                    if args.mode == "refuse-idle":
                        send(f"{tag} BAD IDLE not now")
                    else:
                        idle_tag = tag
                        send("+ idling")
                        if flood is None:
                            flood = asyncio.ensure_future(flood_lines())
                elif command == "NOOP":
                    send(f"{tag} OK done")
                elif command == "LOGOUT":
                    send("* BYE bye")
                    send(f"{tag} OK done")
                    await writer.drain()
                    break
                else:
                    send(f"{tag} BAD unknown command")
                await writer.drain()
        except (ConnectionError, OSError):
            pass
        if flood is not None:
            flood.cancel()
        writer.close()

    server = await asyncio.start_server(serve, "127.0.0.1", 0)
    temp = args.port_file + ".tmp"
    with open(temp, "w") as f:
        f.write(f"{server.sockets[0].getsockname()[1]}\n")
    os.rename(temp, args.port_file)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
