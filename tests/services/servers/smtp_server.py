#!/usr/bin/python3
"""A real SMTP server (aiosmtpd) for the mail tests and the mail bench.

Listens on 127.0.0.1 only, on a free port it prints as its first line, and
ends by itself after --seconds. Every message it accepts is stored in
--store as N.eml (the data as received, dot-stuffing undone) and N.json: the
envelope, the login, whether the session was encrypted, and the message as
Python's e-mail parser reads it: headers, and each leaf part with its
content type, file name and decoded bytes (in N.partK).

  --auth            AUTH LOGIN and PLAIN offered, ann:pw accepted
  --tls CERT KEY    STARTTLS offered with that certificate
"""
import argparse
import asyncio
import email
import email.policy
import json
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

ap = argparse.ArgumentParser()
ap.add_argument("--seconds", type=float, default=60)
ap.add_argument("--store", required=True)
ap.add_argument("--auth", action="store_true")
ap.add_argument("--tls", nargs=2)
args = ap.parse_args()

count = 0


class Handler:
    async def handle_DATA(self, server, session, envelope):
        global count
        count += 1
        base = os.path.join(args.store, str(count))
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content or envelope.content)
        msg = email.message_from_bytes(envelope.original_content or envelope.content, policy=email.policy.compat32)
        parts = []
        for i, part in enumerate(p for p in msg.walk() if not p.is_multipart()):
            data = part.get_payload(decode=True) or b""
            name = "%s.part%d" % (base, i)
            with open(name, "wb") as f:
                f.write(data)
            parts.append({"type": part.get_content_type(), "charset": part.get_content_charset() or "",
                          "filename": part.get_filename() or "", "file": name})
        login = session.auth_data.login.decode() if isinstance(session.auth_data, LoginPassword) else ""
        info = {
            "mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos, "login": login,
            "tls": session.ssl is not None,
            "headers": {k: str(v) for k, v in msg.items()},
            "structure": [p.get_content_type() for p in msg.walk()],
            "parts": parts,
        }
        with open(base + ".json", "w") as f:
            json.dump(info, f)
        return "250 OK stored"


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and auth_data.login == b"ann" and auth_data.password == b"pw"
    if ok:
        return AuthResult(success=True, auth_data=auth_data)
    return AuthResult(success=False, handled=False, message="535 5.7.8 Authentication credentials invalid")


async def main():
    ctx = None
    if args.tls:
        ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        ctx.load_cert_chain(args.tls[0], args.tls[1])
    loop = asyncio.get_running_loop()
    kw = dict(hostname="test.local", decode_data=False, data_size_limit=64 << 20)
    if args.auth:
        kw.update(authenticator=authenticator, auth_require_tls=False)
    if ctx:
        kw.update(tls_context=ctx)
    srv = await loop.create_server(lambda: SMTP(Handler(), **kw), "127.0.0.1", 0)
    print(srv.sockets[0].getsockname()[1], flush=True)
    await asyncio.sleep(args.seconds)
    srv.close()


asyncio.run(main())
