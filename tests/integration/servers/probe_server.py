#!/usr/bin/env python3
"""Safe-network probe endpoint for tests.

Answers every GET with the status written in --status-file ("200", "404", "500", ...);
"none" closes the connection without an answer. Each request is appended to --log
as one line "GET <path> <status>".
"""
import argparse
import http.server
import socketserver


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=80)
    parser.add_argument("--status-file", required=True)
    parser.add_argument("--log", required=True)
    args = parser.parse_args()

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            try:
                with open(args.status_file) as f:
                    status = f.read().strip() or "200"
            except OSError:
                status = "200"
            with open(args.log, "a") as log:
                log.write(f"GET {self.path} {status} {self.headers.get('Connection', '')}\n")
            if status == "none":
                self.close_connection = True
                return
            body = b"not a safe network here" if status == "404" else b"{}"
            self.send_response(int(status))
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *_):
            pass

    class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
        daemon_threads = True
        allow_reuse_address = True

    Server((args.address, args.port), Handler).serve_forever()


if __name__ == "__main__":
    main()
