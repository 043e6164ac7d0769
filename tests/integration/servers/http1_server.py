#!/usr/bin/python3
"""HTTPS server for tests that offers HTTP/1.1 only, and fails on purpose when told.

Every connection whose client sends anything is logged to --log as "connection", every
request as "request <path> <its X-Brimvale-Cookie value, escaped>" (a readiness check
that connects and sends nothing is not logged).

--mode-file names a file holding the mode, read at each new connection (answer when
there is none):
  answer   answers each request with 200 and its body back, on a connection kept open
  close    closes each connection once TLS is set up, without an answer
  silent   sets TLS up and never answers
--cookie VALUE, given again for each answer: the n-th answer carries X-Brimvale-Cookie
with the n-th VALUE (Python escapes such as \\x01 decoded); later answers carry none.
"""
import argparse
import select
import socket
import ssl
import threading

lock = threading.Lock()
answers = 0


def log(args, line):
    with lock, open(args.log, "a") as out:
        out.write(line + "\n")


def mode(args):
    try:
        with open(args.mode_file) as f:
            return f.read().strip() or "answer"
    except OSError:
        return "answer"


def read_request(tls, pending):
    """One request (head and body) from the connection; None once it is over."""
    while b"\r\n\r\n" not in pending:
        data = tls.recv(65536)
        if not data:
            return None
        pending.extend(data)
    end = pending.index(b"\r\n\r\n") + 4
    head = bytes(pending[:end]).decode("latin-1").split("\r\n")
    fields = {}
    for line in head[1:]:
        name, _, value = line.partition(":")
        fields[name.strip(" \t").lower()] = value.strip(" \t")
    length = int(fields.get("content-length", "0") or "0")
    while len(pending) < end + length:
        data = tls.recv(65536)
        if not data:
            return None
        pending.extend(data)
    body = bytes(pending[end:end + length])
    del pending[:end + length]
    return head[0].split(" ")[1], fields, body


def answer(args, tls, fields, body):
    global answers
    with lock:
        answers += 1
        number = answers
    head = "HTTP/1.1 200 OK\r\nContent-Type: application/dns-message\r\nContent-Length: %d\r\n" % len(body)
    if number <= len(args.cookie):
        head += "X-Brimvale-Cookie: " + args.cookie[number - 1] + "\r\n"
    if fields.get("connection", "").lower() == "close":
        head += "Connection: close\r\n"
    tls.sendall((head + "\r\n").encode("latin-1") + body)


def serve(args, ctx, sock):
    try:
        if not sock.recv(1, socket.MSG_PEEK):
            return
        log(args, "connection")
        now = mode(args)
        tls = ctx.wrap_socket(sock, server_side=True)
        if now == "close":
            tls.close()
            return
        pending = bytearray()
        while True:
            if now == "silent":
                while tls.recv(65536):
                    pass
                return
            request = read_request(tls, pending)
            if request is None:
                return
            path, fields, body = request
            cookie = fields.get("x-brimvale-cookie", "")
            log(args, "request %s %s" % (path, cookie.encode("unicode_escape").decode("ascii")))
            answer(args, tls, fields, body)
            if fields.get("connection", "").lower() == "close":
                return
    except (OSError, ValueError, IndexError):
        pass
    finally:
        sock.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log", required=True)
    parser.add_argument("--mode-file", default="")
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=443)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--cookie", action="append", default=[])
    args = parser.parse_args()
    args.cookie = [value.encode("latin-1").decode("unicode_escape") for value in args.cookie]

    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(args.cert, args.key)
    ctx.set_alpn_protocols(["http/1.1"])

    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((args.address, args.port))
    listener.listen(1024)
    while True:
        sock, _ = listener.accept()
        threading.Thread(target=serve, args=(args, ctx, sock), daemon=True).start()


if __name__ == "__main__":
    main()
