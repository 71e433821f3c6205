#!/usr/bin/python3
"""An OAuth 2.0 authorization server for the tests, on python3-oauthlib's server classes.

One public client (--client) whose redirect must go to http://127.0.0.1:PORT/ (any port,
RFC 8252), PKCE (S256) required, every request approved for --user. Endpoints: GET /authorize
(code grant; /authorize-bad-state redirects with another state, /authorize-wrong-port to the
next port), POST /token (code exchange and refresh; refresh tokens rotate), /introspect (RFC
7662, no client authentication, as Dovecot asks), /revoke (RFC 7009), /revoke-all (forgets
every token and code). --lifetime: access tokens' life in seconds; each --token TOKEN is an
access token of --user issued beforehand. Each grant is appended to --log ("code", "refresh",
"refused refresh"). Prints READY once listening.
"""
import argparse
import os
import re
import time
import types
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

os.environ["OAUTHLIB_INSECURE_TRANSPORT"] = "1"  # loopback only
from oauthlib.oauth2 import RequestValidator, WebApplicationServer  # noqa: E402

REDIRECT = re.compile(r"^http://127\.0\.0\.1:\d+/")


def answer(value):
    return lambda self, *a, **k: value


class Validator(RequestValidator):
    client_authentication_required = answer(False)
    validate_scopes = is_pkce_required = answer(True)
    get_default_redirect_uri = answer(None)
    get_default_scopes = answer(["smtp"])

    def __init__(self, client, user, log):
        self.client, self.user, self.log = client, user, log
        self.codes, self.access, self.refresh = {}, {}, {}

    def note(self, what):
        if self.log:
            with open(self.log, "a") as f:
                f.write(what + "\n")

    # clients
    def validate_client_id(self, client_id, request, *a, **k):
        return client_id == self.client

    def authenticate_client_id(self, client_id, request, *a, **k):
        # Dovecot asks about tokens with an empty client.
        if client_id != self.client and not (not client_id and request.uri.endswith("/introspect")):
            return False
        request.client = types.SimpleNamespace(client_id=client_id)
        return True

    def validate_redirect_uri(self, client_id, redirect_uri, request, *a, **k):
        return bool(REDIRECT.match(redirect_uri or ""))

    def validate_response_type(self, client_id, response_type, client, request, *a, **k):
        return response_type == "code"

    def validate_grant_type(self, client_id, grant_type, client, request, *a, **k):
        return grant_type in ("authorization_code", "refresh_token")

    # codes
    def save_authorization_code(self, client_id, code, request, *a, **k):
        self.codes[code["code"]] = dict(client=client_id, redirect=request.redirect_uri, scopes=request.scopes,
                                        challenge=request.code_challenge, method=request.code_challenge_method)

    def validate_code(self, client_id, code, client, request, *a, **k):
        c = self.codes.get(code, {})
        request.user, request.scopes = self.user, c.get("scopes")
        return bool(c) and c["client"] == client_id

    def code_field(key):
        return lambda self, code, request: self.codes.get(code, {}).get(key)

    get_code_challenge, get_code_challenge_method = code_field("challenge"), code_field("method")

    def confirm_redirect_uri(self, client_id, code, redirect_uri, client, request, *a, **k):
        return self.codes.get(code, {}).get("redirect") == redirect_uri

    def invalidate_authorization_code(self, client_id, code, request, *a, **k):
        self.codes.pop(code, None)
        self.note("code")

    # tokens
    def save_bearer_token(self, token, request, *a, **k):
        self.access[token["access_token"]] = (request.user, time.time() + token["expires_in"])
        if "refresh_token" in token:
            self.refresh[token["refresh_token"]] = (request.user, request.scopes)

    def validate_refresh_token(self, refresh_token, client, request, *a, **k):
        found = self.refresh.pop(refresh_token, None)  # rotated: used once
        self.note("refresh" if found else "refused refresh")
        request.user, self.last_scopes = found or (None, None)
        return bool(found)

    def get_original_scopes(self, refresh_token, request, *a, **k):
        return self.last_scopes

    def revoke_token(self, token, token_type_hint, request, *a, **k):
        self.access.pop(token, None), self.refresh.pop(token, None)

    def introspect_token(self, token, token_type_hint, request, *a, **k):
        user, expiry = self.access.get(token, (None, 0))
        return {"username": user, "exp": int(expiry), "client_id": self.client} if expiry >= time.time() else None


def main():
    p = argparse.ArgumentParser()
    for name in ("--host", "--client", "--user"):
        p.add_argument(name, required=True)
    p.add_argument("--port", type=int, default=8080)
    p.add_argument("--lifetime", type=int, default=3600)
    p.add_argument("--token", action="append", default=[])
    p.add_argument("--log")
    args = p.parse_args()
    validator = Validator(args.client, args.user, args.log)
    validator.access.update({t: (args.user, time.time() + 1e9) for t in args.token})
    server = WebApplicationServer(validator, token_expires_in=args.lifetime)

    class Handler(BaseHTTPRequestHandler):
        def answer(self, headers, body, status):
            data = (body or "").encode()
            self.send_response(status)
            for k, v in (headers or {}).items():
                self.send_header(k, v)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)

        def uri(self):
            return "http://%s:%d%s" % (args.host, args.port, self.path)

        def do_GET(self):
            if not self.path.startswith("/authorize"):
                return self.answer({}, "", 404)
            try:
                scopes, credentials = server.validate_authorization_request(self.uri(), "GET", "", dict(self.headers))
            except Exception as e:  # refused outright: no redirect to an unknown client
                return self.answer({}, "refused: %s" % e, 400)
            credentials.pop("request", None)
            headers, body, status = server.create_authorization_response(
                self.uri(), "GET", "", dict(self.headers), scopes=scopes, credentials=dict(credentials, user=args.user))
            where = headers.get("Location", "")
            if self.path.startswith("/authorize-bad-state"):
                headers["Location"] = re.sub(r"state=[^&]*", "state=podmetnuto", where)
            elif self.path.startswith("/authorize-wrong-port"):
                port = re.search(r"^http://127\.0\.0\.1:(\d+)", where)[1]
                headers["Location"] = where.replace(":%s/" % port, ":%d/" % (int(port) + 1), 1)
            self.answer(headers, body, status)

        def do_POST(self):
            body = self.rfile.read(int(self.headers.get("Content-Length", 0))).decode()
            endpoint = {"/token": server.create_token_response, "/revoke": server.create_revocation_response,
                        "/introspect": server.create_introspect_response}.get(self.path)
            if endpoint:
                self.answer(*endpoint(self.uri(), "POST", body, dict(self.headers)))
            elif self.path == "/revoke-all":
                validator.codes.clear(), validator.access.clear(), validator.refresh.clear()
                self.answer({}, "", 200)
            else:
                self.answer({}, "", 404)

        def log_message(self, *a):
            pass

    httpd = ThreadingHTTPServer((args.host, args.port), Handler)
    print("READY", flush=True)
    httpd.serve_forever()


if __name__ == "__main__":
    main()
