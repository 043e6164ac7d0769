#!/usr/bin/python3
"""HTTP/2 over TLS server for tests, with the misbehaviours a test asks for.

Every connection whose client sends anything is logged to --log as "connection", every
request as "stream <path>" (a readiness check that connects and sends nothing is not).

By path:
  /body/N, /body/endless   200 and a body of N octets (or without end), no length announced
  /announce/N              200 announcing a body of N octets that never comes
  /headers/N               200 with about N octets of header fields
  /refuse                  the stream is refused (RST_STREAM REFUSED_STREAM)
  /refuse-once             refused the first time this path is asked, answered after
  /close                   200 and part of the body, then the connection closes
  /delay/MS                200 and the request body back, MS milliseconds after the request
  anything else            200 and the request body back
--as-path PATH answers every request as if it had asked for PATH.

By --mode, for every connection (or only the first --bad ones; later ones answer):
  answer        the paths above
  goaway        GOAWAY with last stream 0 once the client has sent its requests, then close
  goaway-first  the first connection answers its first stream and sends GOAWAY with it as
                the last stream; later connections answer everything
  no-tls        accepts and never starts TLS
  push-promise  answers a request with a PUSH_PROMISE, which a client without push must
                take as a connection error, then keeps the connection open
  window-overflow  answers a request with a WINDOW_UPDATE that overflows the connection's
                window (a connection error), then keeps the connection open
  fall-silent   answers the first request, then reads and sends nothing more (PINGs
                included) and keeps the connection open
  no-streams    allows no concurrent streams (SETTINGS_MAX_CONCURRENT_STREAMS 0)
  hung          answers no request, but still acknowledges PING and SETTINGS, as a
                server whose workers hung while its I/O loop lives
  answer-close  answers the first request and ends the connection with GOAWAY
--status N answers with status N instead of 200.
"""
import argparse
import select
import socket
import ssl
import struct
import threading
import time

import h2.config
import h2.connection
import h2.errors
import h2.events
import h2.exceptions

lock = threading.Lock()
connections = 0
refused_paths = set()


def log(args, line):
    with lock, open(args.log, "a") as out:
        out.write(line + "\n")


def flush(tls, conn):
    data = conn.data_to_send()
    if data:
        tls.sendall(data)


def frame(kind, flags, stream_id, payload):
    """One HTTP/2 frame as raw octets, for frames the h2 library would not send."""
    return struct.pack(">I", len(payload))[1:] + bytes([kind, flags]) + struct.pack(">I", stream_id) + payload


def answer(conn, stream_id, body, status=200):
    conn.send_headers(stream_id, [(":status", str(status)), ("content-type", "application/dns-message"),
                                  ("content-length", str(len(body)))])
    size = conn.max_outbound_frame_size
    for at in range(0, max(len(body), 1), size):
        conn.send_data(stream_id, bytes(body[at:at + size]), end_stream=at + size >= len(body))


class Connection:
    def __init__(self, args, ctx, sock, number):
        self.args, self.number = args, number
        self.bad = args.bad == 0 or number <= args.bad
        self.tls = ctx.wrap_socket(sock, server_side=True, do_handshake_on_connect=False)
        self.conn = h2.connection.H2Connection(h2.config.H2Configuration(client_side=False, header_encoding="utf-8"))
        self.requests = {}   # stream id -> (path, body)
        self.bodies = {}     # stream id -> octets still to send, None without end
        self.closing = False  # GOAWAY sent: nothing more is answered
        self.delayed = []     # (when, stream id, body) of answers to send later

    def run(self):
        self.tls.do_handshake()
        if self.args.mode == "no-streams":
            # Its SETTINGS (no streams) and the acknowledgement of the client's; then
            # nothing but reading. A request sent before these arrive is never answered.
            self.tls.sendall(frame(0x4, 0, 0, struct.pack(">HI", 3, 0)) + frame(0x4, 0x1, 0, b""))
            self.hold_open()
            return
        self.conn.initiate_connection()
        flush(self.tls, self.conn)
        if self.args.mode == "goaway" and self.bad:
            self.closing = True
            self.receive(timeout=1)  # the client's requests, left unanswered
            self.conn.close_connection(last_stream_id=0)
            flush(self.tls, self.conn)
            self.receive(timeout=1)  # until the client closes
            return
        while True:
            sending = self.send_bodies()
            self.send_delayed()
            flush(self.tls, self.conn)
            wait = min([when for when, _, _ in self.delayed], default=time.monotonic() + 5) - time.monotonic()
            if not self.receive(timeout=0 if sending else max(wait, 0)):
                return

    def receive(self, timeout):
        """Reads and handles what arrived; False once the connection is over."""
        if not self.tls.pending() and not select.select([self.tls], [], [], timeout)[0]:
            return True
        try:
            data = self.tls.recv(65536)
        except OSError:
            return False
        if not data:
            return False
        try:
            events = self.conn.receive_data(data)
        except h2.exceptions.ProtocolError:
            return False
        for event in events:
            if not self.handle(event):
                return False
        flush(self.tls, self.conn)
        return True

    def handle(self, event):
        conn = self.conn
        if isinstance(event, h2.events.RequestReceived):
            path = self.args.as_path or dict(event.headers)[":path"]
            log(self.args, "stream " + path)
            self.requests[event.stream_id] = (path, bytearray())
            return self.closing or self.started(event.stream_id, path)
        if isinstance(event, h2.events.DataReceived):
            if event.stream_id in self.requests:
                self.requests[event.stream_id][1].extend(event.data)
            conn.acknowledge_received_data(event.flow_controlled_length, event.stream_id)
        elif isinstance(event, h2.events.StreamEnded):
            if event.stream_id in self.requests and not self.closing:
                path, body = self.requests.pop(event.stream_id)
                mode = self.args.mode if self.bad else "answer"
                parts = path.split("/")
                if mode == "answer" and len(parts) == 3 and parts[1] == "delay":
                    self.delayed.append((time.monotonic() + int(parts[2]) / 1000, event.stream_id, body))
                    return True
                if mode == "hung":
                    return True
                if mode == "push-promise":
                    # After the acknowledgement of the client's SETTINGS, which turn push
                    # off: promised stream 2, with :method GET, :scheme https, :path /.
                    flush(self.tls, conn)
                    self.tls.sendall(frame(0x5, 0x4, event.stream_id, struct.pack(">I", 2) + b"\x82\x87\x84"))
                    self.hold_open()
                    return False
                if mode == "window-overflow":
                    flush(self.tls, conn)
                    self.tls.sendall(frame(0x8, 0, 0, struct.pack(">I", 0x7fffffff)))
                    self.hold_open()
                    return False
                answer(conn, event.stream_id, body, self.args.status)
                if mode == "answer-close":
                    conn.close_connection(last_stream_id=event.stream_id)
                    flush(self.tls, conn)
                    return False
                if mode == "fall-silent":
                    flush(self.tls, conn)
                    self.hold_open(read=False)
                    return False
                if self.args.mode == "goaway-first" and self.number == 1:
                    conn.close_connection(last_stream_id=event.stream_id)
                    self.closing = True
        elif isinstance(event, h2.events.StreamReset):
            self.requests.pop(event.stream_id, None)
            self.bodies.pop(event.stream_id, None)
        elif isinstance(event, h2.events.ConnectionTerminated):
            return False
        return True

    def hold_open(self, read=True):
        """Keeps the connection open, reading (and ignoring) what comes or not, until the
        client closes it or 30 s pass."""
        end = time.monotonic() + 30
        while time.monotonic() < end:
            if not read:
                time.sleep(0.1)
                continue
            if select.select([self.tls], [], [], 0.1)[0]:
                try:
                    if not self.tls.recv(65536):
                        return
                except OSError:
                    return

    def started(self, stream_id, path):
        """What a request's path asks for at once; False when the connection is to end."""
        conn = self.conn
        parts = path.split("/")
        if path == "/refuse" or (path == "/refuse-once" and path not in refused_paths):
            refused_paths.add(path)
            del self.requests[stream_id]
            conn.reset_stream(stream_id, h2.errors.ErrorCodes.REFUSED_STREAM)
        elif len(parts) == 3 and parts[1] == "body":
            del self.requests[stream_id]
            conn.send_headers(stream_id, [(":status", "200")])
            self.bodies[stream_id] = None if parts[2] == "endless" else int(parts[2])
        elif len(parts) == 3 and parts[1] == "announce":
            del self.requests[stream_id]
            conn.send_headers(stream_id, [(":status", "200"), ("content-length", parts[2])])
        elif len(parts) == 3 and parts[1] == "headers":
            del self.requests[stream_id]
            fields = [("x-filler-%d" % i, "f" * 1000) for i in range(int(parts[2]) // 1000)]
            conn.send_headers(stream_id, [(":status", "200")] + fields, end_stream=True)
        elif path == "/close":
            conn.send_headers(stream_id, [(":status", "200"), ("content-length", "100")])
            conn.send_data(stream_id, b"0123456789")
            flush(self.tls, conn)
            return False
        return True

    def send_delayed(self):
        """Answers the delayed requests whose time has come and whose streams are open."""
        now = time.monotonic()
        for entry in [entry for entry in self.delayed if entry[0] <= now]:
            self.delayed.remove(entry)
            try:
                answer(self.conn, entry[1], entry[2], self.args.status)
            except h2.exceptions.ProtocolError:
                pass  # the stream was reset by the client, maybe long enough ago to be forgotten

    def send_bodies(self):
        """Sends what the windows allow of the bodies, up to 1 MiB each time; True while
        there is more to send at once."""
        more = False
        for stream_id, left in list(self.bodies.items()):
            for _ in range(64):
                try:
                    window = min(self.conn.local_flow_control_window(stream_id), self.conn.max_outbound_frame_size)
                except h2.exceptions.StreamClosedError:
                    del self.bodies[stream_id]
                    break
                size = window if left is None else min(window, left)
                if size <= 0 and left != 0:
                    break
                left = None if left is None else left - size
                self.conn.send_data(stream_id, b"x" * size, end_stream=left == 0)
                if left == 0:
                    del self.bodies[stream_id]
                    break
                self.bodies[stream_id] = left
            else:
                more = True
        return more


def serve(args, ctx, sock):
    global connections
    try:
        if not sock.recv(1, socket.MSG_PEEK):
            return
        with lock:
            connections += 1
            number = connections
        log(args, "connection")
        if args.mode == "no-tls":
            while sock.recv(65536):
                pass
            return
        connection = Connection(args, ctx, sock, number)
        try:
            connection.run()
        finally:
            connection.tls.close()
    except (OSError, h2.exceptions.ProtocolError):
        pass
    finally:
        sock.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mode", default="answer",
                        choices=["answer", "goaway", "goaway-first", "no-tls", "push-promise",
                                 "window-overflow", "fall-silent", "no-streams", "answer-close", "hung"])
    parser.add_argument("--log", required=True)
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=443)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--bad", type=int, default=0, help="only the first BAD connections misbehave")
    parser.add_argument("--as-path", default="")
    parser.add_argument("--status", type=int, default=200)
    args = parser.parse_args()

    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(args.cert, args.key)
    ctx.set_alpn_protocols(["h2"])

    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((args.address, args.port))
    listener.listen(128)
    while True:
        sock, _ = listener.accept()
        threading.Thread(target=serve, args=(args, ctx, sock), daemon=True).start()


if __name__ == "__main__":
    main()
