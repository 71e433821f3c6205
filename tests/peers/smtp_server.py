#!/usr/bin/python3
"""A real SMTP server for the tests, built on aiosmtpd. Prints READY once listening. Every
accepted message goes to --capture-dir as NNNN.eml (the data as received, dot-unstuffed),
then NNNN.json (envelope, auth user and mechanism, TLS flag, number of its connection).
--mode silent never greets, close-in-data hangs up after the first line of DATA, split writes
every reply in two pieces. --auth-user offers AUTH (--auth-only: one mechanism), --tls
none|starttls|implicit with --cert/--key, --reject-rcpt ADDR is answered 550, --reject-rcpt-once
ADDR only the first time.
"""
import argparse
import asyncio
import json
import os
import ssl

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def tls_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


def capture(capture_dir, number, ext, data):
    """Writes NNNN.ext whole, so that a reader never sees it half written."""
    path = os.path.join(capture_dir, "%04d.%s" % (number, ext))
    with open(path + ".tmp", "wb") as f:
        f.write(data)
    os.replace(path + ".tmp", path)


class CaptureHandler:
    def __init__(self, args):
        self.args, self.count = args, 0
        self.reject = {a.lower() for a in args.reject_rcpt}
        self.reject_once = {a.lower() for a in args.reject_rcpt_once}

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        session.host_name = hostname
        # Without a user aiosmtpd would still offer AUTH and fail every login.
        return [r for r in responses if self.args.auth_user or not r.startswith("250-AUTH")]

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.reject | self.reject_once:
            self.reject_once.discard(address.lower())
            return "550 5.1.1 <%s>: Recipient address rejected: User unknown" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        # The data first and the envelope last: a reader that sees the .json file knows the
        # message is complete.
        capture(self.args.capture_dir, self.count, "eml", envelope.original_content)
        login = session.auth_data.login.decode("utf-8", "replace") \
            if isinstance(session.auth_data, LoginPassword) else None
        meta = {"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos, "auth_user": login,
                "auth_mechanism": getattr(session, "auth_mechanism", None),
                "tls": server.transport.get_extra_info("ssl_object") is not None,
                "session": server.connection_number}
        capture(self.args.capture_dir, self.count, "json", json.dumps(meta).encode())
        return "250 2.0.0 Message accepted for delivery"

    def authenticate(self, server, session, envelope, mechanism, auth_data):
        if isinstance(auth_data, LoginPassword) and (auth_data.login.decode(), auth_data.password.decode()) \
                == (self.args.auth_user, self.args.auth_password):
            session.auth_mechanism = mechanism
            return AuthResult(success=True, auth_data=auth_data)
        # handled=False makes aiosmtpd answer 535; with True it would say nothing.
        return AuthResult(success=False, handled=False)


class PeerSMTP(SMTP):
    mode = "normal"
    connections = 0

    def connection_made(self, transport):
        if not hasattr(self, "connection_number"):  # not again after STARTTLS
            PeerSMTP.connections += 1
            self.connection_number = PeerSMTP.connections
        super().connection_made(transport)

    async def _handle_client(self):
        if self.mode != "silent":
            return await super()._handle_client()
        # Keep the connection open, never greet, swallow whatever comes.
        while self.transport is not None and await self._reader.read(65536):
            pass

    async def push(self, status):
        if self.mode != "split":
            return await super().push(status)
        data = (status if isinstance(status, bytes) else status.encode("utf-8")) + b"\r\n"
        for i, piece in enumerate((data[:2], data[2:])):
            await asyncio.sleep(0.05 * i)
            self._writer.write(piece)
            await self._writer.drain()

    async def smtp_DATA(self, arg):
        if self.mode != "close-in-data":
            return await super().smtp_DATA(arg)
        if not self.envelope.rcpt_tos:
            return await self.push("503 Error: need RCPT command")
        await self.push("354 End data with <CR><LF>.<CR><LF>")
        await self._reader.readuntil(b"\r\n")
        self.transport.close()


async def main():
    p = argparse.ArgumentParser()
    for name in ("--host", "--port", "--capture-dir", "--cert", "--key", "--auth-user", "--auth-only"):
        p.add_argument(name)
    p.add_argument("--auth-password", default="")
    p.add_argument("--tls", choices=["none", "starttls", "implicit"], default="none")
    for name in ("--reject-rcpt", "--reject-rcpt-once"):
        p.add_argument(name, action="append", default=[])
    p.add_argument("--mode", choices=["normal", "silent", "close-in-data", "split"], default="normal")
    args = p.parse_args()
    os.makedirs(args.capture_dir, exist_ok=True)
    handler = CaptureHandler(args)
    context = tls_context(args.cert, args.key) if args.tls != "none" else None
    PeerSMTP.mode = args.mode
    kwargs = {"hostname": "peer.test", "data_size_limit": None, "auth_require_tls": False,
              "tls_context": context if args.tls == "starttls" else None}
    if args.auth_user:
        kwargs["authenticator"] = handler.authenticate
        if args.auth_only:
            kwargs["auth_exclude_mechanism"] = sorted({"LOGIN", "PLAIN"} - {args.auth_only.upper()})
    loop = asyncio.get_running_loop()
    server = await loop.create_server(
        lambda: PeerSMTP(handler, loop=loop, **kwargs), host=args.host, port=int(args.port),
        ssl=context if args.tls == "implicit" else None, reuse_address=True)
    print("READY", flush=True)
    await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
