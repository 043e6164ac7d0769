#!/usr/bin/env python3
"""HTTPS statistics collector for tests.

Records every POST as one JSON line in --out: {"path", "content_type", "body",
"received_at"}, the body parsed as JSON when it is JSON, the time in seconds since 1970. Answers with --status (default 200) and a body of
--reply-size bytes (default none). Speaks HTTP/1.1 only.
"""
import argparse
import http.server
import json
import socketserver
import ssl
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=443)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--status", type=int, default=200)
    parser.add_argument("--reply-size", type=int, default=0)
    args = parser.parse_args()

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def do_POST(self):
            length = int(self.headers.get("Content-Length", "0"))
            raw = self.rfile.read(length)
            try:
                body = json.loads(raw)
            except ValueError:
                body = raw.decode("utf-8", "replace")
            record = {"path": self.path, "content_type": self.headers.get("Content-Type"), "body": body,
                      "received_at": time.time()}
            with open(args.out, "a") as out:
                out.write(json.dumps(record) + "\n")
            self.send_response(args.status)
            self.send_header("Content-Length", str(args.reply_size))
            self.end_headers()
            self.wfile.write(b"x" * args.reply_size)

        def log_message(self, *_):
            pass

    class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
        daemon_threads = True
        allow_reuse_address = True

    server = Server((args.address, args.port), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
