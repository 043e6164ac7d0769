#!/usr/bin/env python3
"""A naive DNS server for tests: answers every datagram, an answer included, with the
datagram itself and the QR bit set, and appends one line per datagram to --log. Two
forwarders that answer each other through it would loop for ever."""
import argparse
import socket


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", default="127.0.0.5")
    parser.add_argument("--log", required=True)
    args = parser.parse_args()
    server = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    server.bind((args.address, 53))
    with open(args.log, "a", buffering=1) as log:
        while True:
            data, client = server.recvfrom(65535)
            log.write(f"datagram from {client[0]}:{client[1]}\n")
            if len(data) > 2:
                data = data[:2] + bytes([data[2] | 0x80]) + data[3:]
            server.sendto(data, client)


if __name__ == "__main__":
    main()
