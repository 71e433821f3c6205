#!/usr/bin/python3
"""A small SMTP server that misbehaves on purpose, for what aiosmtpd will not do. Prints READY
once listening, serves one connection at a time, answers each line in order (so pipelined
commands get their replies in order), appends every command line it receives to --log ("TLS"
once a handshake is done) and message text to --capture-dir as NNNN.eml. Options:
  --ehlo EXT        an extension line of the EHLO reply (repeat); --no-ehlo refuses EHLO
  --reply VERB=TXT  the reply to VERB (MAIL, RCPT, DATA, ".", QUIT, AUTH, ...); "\\n" in TXT
                    separates the lines of a reply; VERB#N=TXT only to the Nth such command
  --during-data TXT sent after the first line of message text, then a hang-up
  --after-starttls TXT  sent right behind the go-ahead to STARTTLS, before TLS
  --greeting TXT    the greeting; "endless" sends one line that never ends
  --silent-after V  no more replies once V has been received
  --hold-until-data replies to MAIL and RCPT wait for DATA: only a pipelining client gets through
  --no-accept       never accepts, and fills the listen queue: connecting hangs
  --cert/--key      for STARTTLS (offer it with --ehlo STARTTLS) or --implicit
"""
import argparse
import collections
import os
import socket
import ssl
import time

from smtp_server import capture, tls_context


class Session:
    def __init__(self, args, conn, context, seen):
        self.args, self.conn, self.context, self.seen = args, conn, context, seen  # seen: commands since the start
        self.replies = dict(r.split("=", 1) for r in args.reply)
        self.silent, self.held = False, []
        self.reader = conn.makefile("rb")

    def log(self, line):
        with open(self.args.log, "a", encoding="latin-1") as f:
            f.write(line + "\n")

    def send(self, text):
        if not self.silent:
            self.conn.sendall(text.replace("\\n", "\r\n").encode("utf-8") + b"\r\n")

    def reply(self, verb, default):
        self.seen[verb] += 1
        self.send(self.replies.get("%s#%d" % (verb, self.seen[verb]), self.replies.get(verb, default)))

    def ehlo(self, words):
        if self.args.no_ehlo:
            return self.reply("EHLO", "500 5.5.1 EHLO not understood")
        lines = ["scripted.test"] + self.args.ehlo
        self.reply("EHLO", "\r\n".join(["250-" + l for l in lines[:-1]] + ["250 " + lines[-1]]))

    def auth(self, words):
        if len(words) > 1 and words[1].upper() == "LOGIN":
            for prompt in ("VXNlcm5hbWU6", "UGFzc3dvcmQ6"):
                self.send("334 " + prompt)
                self.log(self.reader.readline().decode("latin-1").rstrip("\r\n"))
        self.reply("AUTH", "235 2.7.0 Authentication successful")

    def data(self, words):
        for text in self.held:
            self.conn.sendall(text.encode("utf-8") + b"\r\n")
        self.held = []
        self.reply("DATA", "354 End data with <CR><LF>.<CR><LF>")
        if self.args.during_data:
            self.reader.readline()
            self.send(self.args.during_data)
            self.conn.shutdown(socket.SHUT_RDWR)
            raise ConnectionAbortedError()
        body = b""
        while (line := self.reader.readline()) != b".\r\n":
            if not line:
                return
            body += line
        if self.args.capture_dir:
            capture(self.args.capture_dir, self.seen["."] + 1, "eml", body)
        self.log(".")
        self.reply(".", "250 2.0.0 queued")

    def starttls(self, words):
        text = "220 2.0.0 Ready to start TLS"
        if self.context is None:  # no certificate: the handshake fails
            self.reply("STARTTLS", text)
            raise ConnectionAbortedError()
        self.reply("STARTTLS", text + ("\\n" + self.args.after_starttls if self.args.after_starttls else ""))
        self.conn = self.context.wrap_socket(self.conn, server_side=True)
        self.reader = self.conn.makefile("rb")
        self.log("TLS")

    def run(self):
        if self.args.greeting == "endless":
            for _ in range(48):
                self.conn.sendall(b"220 " + b"x" * 65536)
            return self.reader.read()
        self.send(self.args.greeting)
        while raw := self.reader.readline():
            line = raw.decode("latin-1").rstrip("\r\n")
            self.log(line)
            words = line.split(" ")
            verb = words[0].upper().split(":")[0]
            self.silent |= verb == self.args.silent_after
            handler = {"EHLO": self.ehlo, "AUTH": self.auth, "DATA": self.data, "STARTTLS": self.starttls}.get(verb)
            if handler:
                handler(words)
            elif verb == "QUIT":
                return self.reply("QUIT", "221 2.0.0 Bye")
            elif self.args.hold_until_data and verb in ("MAIL", "RCPT"):
                self.held.append(self.replies.get(verb, "250 2.1.0 OK"))
            else:
                self.reply(verb, "250 2.1.0 OK")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--host", required=True)
    p.add_argument("--port", type=int, default=25)
    p.add_argument("--greeting", default="220 scripted.test ESMTP")
    for name in ("--log", "--capture-dir", "--silent-after", "--cert", "--key", "--during-data", "--after-starttls"):
        p.add_argument(name)
    for name in ("--ehlo", "--reply"):
        p.add_argument(name, action="append", default=[])
    for name in ("--no-ehlo", "--hold-until-data", "--implicit", "--no-accept"):
        p.add_argument(name, action="store_true")
    args = p.parse_args()
    if args.capture_dir:
        os.makedirs(args.capture_dir, exist_ok=True)
    context = tls_context(args.cert, args.key) if args.cert else None
    server = socket.create_server((args.host, args.port), backlog=0 if args.no_accept else 5)
    if args.no_accept:  # unaccepted connections fill the queue
        fillers = [socket.socket() for _ in range(4)]
        for filler in fillers:
            filler.setblocking(False)
            filler.connect_ex((args.host, args.port))
        time.sleep(0.3)
    print("READY", flush=True)
    if args.no_accept:
        time.sleep(3600)
    seen = collections.Counter()
    while True:
        conn, _ = server.accept()
        try:
            if args.implicit:
                conn = context.wrap_socket(conn, server_side=True)
            Session(args, conn, context, seen).run()
        except (OSError, ssl.SSLError):
            pass
        finally:
            conn.close()


if __name__ == "__main__":
    main()
