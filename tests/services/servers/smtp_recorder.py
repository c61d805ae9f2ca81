#!/usr/bin/python3
"""A scripted SMTP peer that records what it is sent, for the failures real
servers rarely show on demand. Listens on 127.0.0.1 only, prints its port as
its first line, then one line "C: <line>" for every line it receives; ends
after --seconds or after --sessions connections.

  --mode ok          a normal dialogue; greeting and EHLO answered in
                     several lines, AUTH LOGIN refused with 504
  --mode rcpt550     RCPT TO answered "550 5.1.1 No such user"
  --mode drop        the connection closed in the middle of DATA
  --mode slow        DATA read slowly (about 2 MiB a second)
"""
import argparse
import asyncio
import sys

ap = argparse.ArgumentParser()
ap.add_argument("--seconds", type=float, default=60)
ap.add_argument("--sessions", type=int, default=20)
ap.add_argument("--mode", default="ok")
args = ap.parse_args()
sessions = 0


def log(line):
    sys.stdout.write("C: " + line.decode("latin-1") + "\n")
    sys.stdout.flush()


async def session(reader, writer):
    global sessions
    sessions += 1

    def send(text):
        writer.write(text.encode("latin-1"))

    send("220-test.local first greeting line\r\n220-second\r\n220 test.local ready\r\n")
    await writer.drain()
    try:
        while True:
            line = await asyncio.wait_for(reader.readline(), 30)
            if not line:
                break
            line = line.rstrip(b"\r\n")
            log(line)
            cmd = line.upper()
            if cmd.startswith(b"EHLO"):
                send("250-test.local\r\n250-8BITMIME\r\n250 HELP\r\n")
            elif cmd.startswith(b"HELO"):
                send("250 test.local\r\n")
            elif cmd.startswith(b"AUTH"):
                send("504 5.5.4 Unrecognized authentication type\r\n")
            elif cmd.startswith(b"MAIL"):
                send("250 OK\r\n")
            elif cmd.startswith(b"RCPT"):
                send("550 5.1.1 No such user\r\n" if args.mode == "rcpt550" else "250 OK\r\n")
            elif cmd.startswith(b"DATA"):
                send("354 go on\r\n")
                await writer.drain()
                if args.mode == "drop":
                    await reader.read(2000)
                    log(b"(dropped)")
                    writer.close()
                    return
                total = 0
                tail = b""
                while True:
                    if args.mode == "slow":
                        chunk = await reader.read(32768)
                        await asyncio.sleep(0.016)
                        if not chunk:
                            return
                        total += len(chunk)
                        tail = (tail + chunk)[-5:]
                        if tail == b"\r\n.\r\n":
                            log(b"(data %d)" % total)
                            send("250 OK\r\n")
                            break
                        continue
                    l = await reader.readline()
                    if not l:
                        return
                    total += len(l)
                    if l == b".\r\n":
                        log(b"(data %d)" % total)
                        send("250 OK\r\n")
                        break
                    if l.startswith(b"."):
                        log(b"D: " + l.rstrip(b"\r\n"))
            elif cmd.startswith(b"RSET"):
                send("250 OK\r\n")
            elif cmd.startswith(b"QUIT"):
                send("221 bye\r\n")
                await writer.drain()
                writer.close()
                return
            else:
                send("500 what\r\n")
            await writer.drain()
    except (asyncio.TimeoutError, ConnectionError):
        pass
    finally:
        writer.close()
        if sessions >= args.sessions:
            asyncio.get_running_loop().stop()


async def main():
    import socket
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    if args.mode == "slow":  # little room in the kernel: the sender feels the pace
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 32768)
    sock.bind(("127.0.0.1", 0))
    srv = await asyncio.start_server(session, sock=sock)
    print(srv.sockets[0].getsockname()[1], flush=True)
    await asyncio.sleep(args.seconds)


try:
    asyncio.run(main())
except RuntimeError:
    pass
