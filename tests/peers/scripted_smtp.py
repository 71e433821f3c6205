#!/usr/bin/python3
"""A small SMTP server that misbehaves on purpose, for what aiosmtpd will not do.

Prints READY once listening. Serves one connection at a time, answers each line in
order (so pipelined commands get their replies in order) and appends every command line
it receives to --log ("TLS" once a handshake is done); message text goes to
--capture-dir as NNNN.eml. Options:
  --ehlo EXT        an extension line of the EHLO reply (repeat); --no-ehlo refuses EHLO
  --reply VERB=TXT  the reply to VERB (MAIL, RCPT, DATA, ".", QUIT, AUTH, ...); "\\n"
                    in TXT separates the lines of a multi-line reply; VERB#N: only to
                    the Nth such command since the server started
  --during-data TXT sends TXT after the first line of message text, then hangs up
  --after-starttls TXT  sent right behind the go-ahead to STARTTLS, before TLS
  --greeting TXT    the greeting; "endless" sends one line that never ends
  --silent-after V  no more replies once V has been received
  --hold-until-data replies to MAIL and RCPT wait until DATA has come: only a
                    client that pipelines (RFC 2920) gets through
  --no-accept       never accepts, and fills the listen queue: connecting hangs
  --cert/--key      for STARTTLS (offer it with --ehlo STARTTLS) or --implicit
"""
import argparse
import os
import socket
import ssl
import time


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument("--host", required=True)
    p.add_argument("--port", type=int, default=25)
    p.add_argument("--greeting", default="220 scripted.test ESMTP")
    for name in ("--log", "--capture-dir", "--silent-after", "--cert", "--key", "--during-data",
                 "--after-starttls"):
        p.add_argument(name)
    for name in ("--ehlo", "--reply"):
        p.add_argument(name, action="append", default=[])
    for name in ("--no-ehlo", "--hold-until-data", "--implicit", "--no-accept"):
        p.add_argument(name, action="store_true")
    return p.parse_args()


class Session:
    def __init__(self, args, conn, context, count):
        self.args, self.conn, self.context, self.count = args, conn, context, count
        self.replies = dict(r.split("=", 1) for r in args.reply)
        self.seen = count[1]
        self.silent = False
        self.held = []
        self.reader = conn.makefile("rb")

    def log(self, line):
        with open(self.args.log, "a", encoding="latin-1") as f:
            f.write(line + "\n")

    def send(self, text):
        if not self.silent:
            self.conn.sendall(text.replace("\\n", "\r\n").encode("utf-8") + b"\r\n")

    def reply(self, verb, default):
        self.seen[verb] = self.seen.get(verb, 0) + 1
        numbered = "%s#%d" % (verb, self.seen[verb])
        self.send(self.replies.get(numbered, self.replies.get(verb, default)))

    def ehlo(self):
        if self.args.no_ehlo:
            return self.reply("EHLO", "500 5.5.1 EHLO not understood")
        lines = ["scripted.test"] + self.args.ehlo
        text = "\r\n".join(("250 " if i == len(lines) - 1 else "250-") + l
                           for i, l in enumerate(lines))
        self.reply("EHLO", text)

    def auth(self, words):
        if len(words) > 1 and words[1].upper() == "LOGIN":
            for prompt in ("VXNlcm5hbWU6", "UGFzc3dvcmQ6"):
                self.send("334 " + prompt)
                self.log(self.reader.readline().decode("latin-1").rstrip("\r\n"))
        self.reply("AUTH", "235 2.7.0 Authentication successful")

    def data(self):
        for text in self.held:
            self.conn.sendall(text.encode("utf-8") + b"\r\n")
        self.held = []
        self.reply("DATA", "354 End data with <CR><LF>.<CR><LF>")
        body = b""
        if self.args.during_data:
            self.reader.readline()
            self.send(self.args.during_data)
            self.conn.shutdown(socket.SHUT_RDWR)
            raise ConnectionAbortedError()
        while True:
            line = self.reader.readline()
            if not line:
                return
            if line == b".\r\n":
                break
            body += line
        self.count[0] += 1
        if self.args.capture_dir:
            path = os.path.join(self.args.capture_dir, "%04d.eml" % self.count[0])
            with open(path, "wb") as f:
                f.write(body)
        self.log(".")
        self.reply(".", "250 2.0.0 queued")

    def starttls(self):
        text = "220 2.0.0 Ready to start TLS"
        if self.context is None:  # no certificate: the handshake fails
            self.reply("STARTTLS", text)
            raise ConnectionAbortedError()
        if self.args.after_starttls:
            text += "\\n" + self.args.after_starttls
        self.reply("STARTTLS", text)
        self.conn = self.context.wrap_socket(self.conn, server_side=True)
        self.reader = self.conn.makefile("rb")
        self.log("TLS")

    def run(self):
        if self.args.greeting == "endless":
            chunk = b"220 " + b"x" * 65536
            for _ in range(48):
                self.conn.sendall(chunk)
            self.reader.read()
            return
        self.send(self.args.greeting)
        while True:
            raw = self.reader.readline()
            if not raw:
                return
            line = raw.decode("latin-1").rstrip("\r\n")
            self.log(line)
            words = line.split(" ")
            verb = words[0].upper().split(":")[0]
            if self.args.silent_after and verb == self.args.silent_after:
                self.silent = True
            if verb == "EHLO":
                self.ehlo()
            elif verb == "AUTH":
                self.auth(words)
            elif verb == "DATA":
                self.data()
            elif verb == "STARTTLS":
                self.starttls()
            elif verb == "QUIT":
                self.reply("QUIT", "221 2.0.0 Bye")
                return
            elif self.args.hold_until_data and verb in ("MAIL", "RCPT"):
                self.held.append(self.replies.get(verb, "250 2.1.0 OK"))
            else:
                self.reply(verb, "250 2.1.0 OK")


def main():
    args = parse_args()
    if args.capture_dir:
        os.makedirs(args.capture_dir, exist_ok=True)
    context = None
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((args.host, args.port))
    server.listen(0 if args.no_accept else 5)
    fillers = [socket.socket(socket.AF_INET, socket.SOCK_STREAM) for _ in range(4 if args.no_accept else 0)]
    for filler in fillers:  # unaccepted connections that fill the queue
        filler.setblocking(False)
        filler.connect_ex((args.host, args.port))
    time.sleep(0.3 if fillers else 0)
    print("READY", flush=True)
    if fillers:
        time.sleep(3600)
    count = [0, {}]
    while True:
        conn, _ = server.accept()
        try:
            if args.implicit:
                conn = context.wrap_socket(conn, server_side=True)
            Session(args, conn, context, count).run()
        except (OSError, ssl.SSLError):
            pass
        finally:
            conn.close()


if __name__ == "__main__":
    main()
