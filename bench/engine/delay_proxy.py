#!/usr/bin/env python3
"""A TCP proxy on loopback that holds every piece of data for a while in each direction, so
a loopback server looks as far away as a distant one (40 ms each way: an 80 ms round trip).

usage: delay_proxy.py LISTEN_PORT UPSTREAM_PORT [DELAY_MS]   (prints "ready" when listening)
"""
import asyncio
import sys
import time

PIECE = 64 * 1024


async def pump(reader, writer, delay):
    """Forwards what reader gives to writer, each piece `delay` seconds after it arrived."""
    queue = asyncio.Queue()

    async def send_later():
        while True:
            due, data = await queue.get()
            wait = due - time.monotonic()
            if wait > 0:
                await asyncio.sleep(wait)
            if not data:
                break
            writer.write(data)
            await writer.drain()
        try:
            writer.write_eof()
        except OSError:
            pass

    sender = asyncio.ensure_future(send_later())
    try:
        while True:
            data = await reader.read(PIECE)
            queue.put_nowait((time.monotonic() + delay, data))
            if not data:
                break
        await sender
    except (ConnectionError, OSError):
        sender.cancel()
    finally:
        writer.close()


async def main():
    listen_port, upstream_port = int(sys.argv[1]), int(sys.argv[2])
    delay = (float(sys.argv[3]) if len(sys.argv) > 3 else 40.0) / 1000.0

    async def serve(client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection("127.0.0.1",
                                                                         upstream_port)
        except OSError:
            client_writer.close()
            return
        await asyncio.gather(pump(client_reader, server_writer, delay),
                             pump(server_reader, client_writer, delay),
                             return_exceptions=True)

    server = await asyncio.start_server(serve, "127.0.0.1", listen_port, backlog=128)
    print("ready", flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
