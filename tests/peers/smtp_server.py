#!/usr/bin/python3
"""A real SMTP server for the tests, built on aiosmtpd.

Listens on --host/--port, prints READY once the socket is bound, and captures every
accepted message into --capture-dir as NNNN.eml (the data exactly as received, after
dot-unstuffing) and NNNN.json (envelope: mail_from, rcpt_tos, auth user, tls flag,
and the number of the connection it came on, counted from 1).

Modes:
  normal         an ordinary server
  silent         accepts connections but never greets (and never answers)
  close-in-data  answers DATA with 354, reads one line of the message, then hangs up
  split          writes every reply in two pieces a little apart
Other options: --auth-user/--auth-password offer AUTH LOGIN/PLAIN (no AUTH offered
otherwise), --tls none|starttls|implicit with --cert/--key, --reject-rcpt ADDR (550,
repeatable), --size-limit BYTES (0 = unlimited).
"""
import argparse
import asyncio
import json
import os
import signal
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class CaptureHandler:
    def __init__(self, capture_dir, reject, offer_auth):
        self.capture_dir = capture_dir
        self.reject = {a.lower() for a in reject}
        self.offer_auth = offer_auth
        self.count = 0

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        session.host_name = hostname
        if not self.offer_auth:
            # Without a user aiosmtpd would still offer AUTH and fail every login.
            responses = [r for r in responses if not r.startswith("250-AUTH")]
        return responses

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.reject:
            return "550 5.1.1 <%s>: Recipient address rejected: User unknown" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.capture_dir, "%04d" % self.count)
        # Write the data first and the envelope last: a reader that sees the .json
        # file knows the message is complete.
        with open(base + ".eml.tmp", "wb") as f:
            f.write(envelope.original_content)
        os.replace(base + ".eml.tmp", base + ".eml")
        auth = session.auth_data.login.decode("utf-8", "replace") \
            if isinstance(session.auth_data, LoginPassword) else None
        meta = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "auth_user": auth,
            "auth_mechanism": getattr(session, "auth_mechanism", None),
            "tls": server.transport.get_extra_info("ssl_object") is not None,
            "size": len(envelope.original_content),
            "session": server.connection_number,
        }
        with open(base + ".json.tmp", "w", encoding="utf-8") as f:
            json.dump(meta, f)
        os.replace(base + ".json.tmp", base + ".json")
        return "250 2.0.0 Message accepted for delivery"


def make_authenticator(user, password):
    def authenticate(server, session, envelope, mechanism, auth_data):
        if (isinstance(auth_data, LoginPassword)
                and auth_data.login.decode() == user
                and auth_data.password.decode() == password):
            session.auth_mechanism = mechanism
            return AuthResult(success=True, auth_data=auth_data)
        # handled=False makes aiosmtpd answer 535; with True it would say nothing.
        return AuthResult(success=False, handled=False)
    return authenticate


class PeerSMTP(SMTP):
    mode = "normal"
    connections = 0

    def connection_made(self, transport):
        if not hasattr(self, "connection_number"):  # not again after STARTTLS
            PeerSMTP.connections += 1
            self.connection_number = PeerSMTP.connections
        super().connection_made(transport)

    async def _handle_client(self):
        if self.mode == "silent":
            # Keep the connection open, never greet, swallow whatever comes.
            while self.transport is not None:
                if not await self._reader.read(65536):
                    break
            return
        await super()._handle_client()

    async def push(self, status):
        if self.mode != "split":
            return await super().push(status)
        data = (status if isinstance(status, bytes) else status.encode("utf-8")) + b"\r\n"
        cut = min(2, len(data) - 1)
        self._writer.write(data[:cut])
        await self._writer.drain()
        await asyncio.sleep(0.05)
        self._writer.write(data[cut:])
        await self._writer.drain()

    async def smtp_DATA(self, arg):
        if self.mode != "close-in-data":
            return await super().smtp_DATA(arg)
        if not self.envelope.rcpt_tos:
            await self.push("503 Error: need RCPT command")
            return
        await self.push("354 End data with <CR><LF>.<CR><LF>")
        await self._reader.readuntil(b"\r\n")
        self.transport.close()


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument("--host", default="127.0.0.10")
    p.add_argument("--port", type=int, default=25)
    p.add_argument("--capture-dir", required=True)
    p.add_argument("--auth-user")
    p.add_argument("--auth-password", default="")
    p.add_argument("--auth-only", help="offer this one mechanism (LOGIN or PLAIN)")
    p.add_argument("--tls", choices=["none", "starttls", "implicit"], default="none")
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--reject-rcpt", action="append", default=[])
    p.add_argument("--mode", choices=["normal", "silent", "close-in-data", "split"],
                   default="normal")
    p.add_argument("--size-limit", type=int, default=0)
    return p.parse_args()


async def main():
    args = parse_args()
    os.makedirs(args.capture_dir, exist_ok=True)
    handler = CaptureHandler(args.capture_dir, args.reject_rcpt, bool(args.auth_user))
    context = None
    if args.tls != "none":
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
    PeerSMTP.mode = args.mode
    kwargs = {
        "hostname": "peer.test",
        "data_size_limit": args.size_limit or None,
        "auth_require_tls": False,
        "tls_context": context if args.tls == "starttls" else None,
    }
    if args.auth_user:
        kwargs["authenticator"] = make_authenticator(args.auth_user, args.auth_password)
        if args.auth_only:
            others = {"LOGIN", "PLAIN"} - {args.auth_only.upper()}
            kwargs["auth_exclude_mechanism"] = sorted(others)
    loop = asyncio.get_running_loop()
    server = await loop.create_server(
        lambda: PeerSMTP(handler, loop=loop, **kwargs), host=args.host, port=args.port,
        ssl=context if args.tls == "implicit" else None, reuse_address=True)
    stop = loop.create_future()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set_result, None)
    print("READY", flush=True)
    await stop
    server.close()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except OSError as e:
        print("ERROR %s" % e, file=sys.stderr, flush=True)
        sys.exit(2)
