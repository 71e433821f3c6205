#!/usr/bin/python3
"""A TCP relay that holds every chunk DELAY_MS in each direction, as a server that far away
would (the kernel here has no netem).
Usage: delay_proxy.py LISTEN_HOST LISTEN_PORT TARGET_HOST TARGET_PORT [DELAY_MS]   (default 10)
       delay_proxy.py ping HOST PORT [COUNT] — prints the median round trip of an SMTP NOOP."""
import asyncio
import smtplib
import socket
import statistics
import sys
import time


async def pump(reader, writer, delay):
    # Each chunk is stamped when it arrives and written when its stamp is `delay` old: the
    # writer waits only for the oldest chunk's time, so chunks in flight overlap as on a long
    # link rather than queueing behind each other, and their order is kept.
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue(maxsize=4096)

    async def receive():
        try:
            while data := await reader.read(65536):
                await queue.put((loop.time() + delay, data))
        except OSError:
            pass
        await queue.put((loop.time() + delay, b""))

    receiver = asyncio.create_task(receive())
    try:
        while True:
            due, data = await queue.get()
            if (wait := due - loop.time()) > 0:
                await asyncio.sleep(wait)
            if not data:
                if writer.can_write_eof():
                    writer.write_eof()
                break
            writer.write(data)
            await writer.drain()
    except OSError:
        pass
    finally:
        receiver.cancel()


async def relay(client_reader, client_writer, target, delay):
    try:
        server_reader, server_writer = await asyncio.open_connection(*target)
    except OSError:
        return client_writer.close()
    for writer in (client_writer, server_writer):
        # Nagle's algorithm would hold small replies back until the peer's delayed ACK.
        writer.get_extra_info("socket").setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    await asyncio.gather(pump(client_reader, server_writer, delay), pump(server_reader, client_writer, delay))
    for writer in (client_writer, server_writer):
        writer.close()


async def serve(listen_host, listen_port, target, delay):
    server = await asyncio.start_server(lambda r, w: relay(r, w, target, delay), listen_host, listen_port)
    async with server:
        await server.serve_forever()


def ping(host, port, count):
    times = []
    with smtplib.SMTP(host, port) as smtp:
        for _ in range(count):
            start = time.perf_counter()
            if smtp.noop()[0] != 250:
                sys.exit("ping: NOOP refused")
            times.append(time.perf_counter() - start)
    print("round trip ms: %.2f" % (statistics.median(times) * 1000))


if __name__ == "__main__":
    if len(sys.argv) in (4, 5) and sys.argv[1] == "ping":
        ping(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]) if len(sys.argv) == 5 else 20)
    elif len(sys.argv) in (5, 6):
        delay = (float(sys.argv[5]) if len(sys.argv) == 6 else 10.0) / 1000
        asyncio.run(serve(sys.argv[1], int(sys.argv[2]), (sys.argv[3], int(sys.argv[4])), delay))
    else:
        sys.exit(__doc__)
