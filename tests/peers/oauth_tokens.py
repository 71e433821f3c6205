#!/usr/bin/python3
"""An RFC 7662 token introspection endpoint for the mail servers of the tests.

Prints READY once listening. POST /introspect with token=... answers
{"active": true, "username": USER} for each --token TOKEN=USER, {"active": false} otherwise,
and appends each token asked about to --log.
"""
import argparse
import json
import urllib.parse
from http.server import BaseHTTPRequestHandler, HTTPServer


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--host", required=True)
    p.add_argument("--port", type=int, default=8080)
    p.add_argument("--token", action="append", default=[])
    p.add_argument("--log")
    args = p.parse_args()
    tokens = dict(t.split("=", 1) for t in args.token)

    class Handler(BaseHTTPRequestHandler):
        def do_POST(self):
            body = self.rfile.read(int(self.headers.get("Content-Length", 0))).decode()
            token = urllib.parse.parse_qs(body).get("token", [""])[0]
            if args.log:
                with open(args.log, "a") as f:
                    f.write(token + "\n")
            user = tokens.get(token)
            answer = {"active": True, "username": user} if user else {"active": False}
            data = json.dumps(answer).encode()
            self.send_response(200)
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)

        def log_message(self, *a):
            pass

    server = HTTPServer((args.host, args.port), Handler)
    print("READY", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
