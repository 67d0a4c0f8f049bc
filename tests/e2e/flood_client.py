#!/usr/bin/env python3
"""Holds slow connections to a server, as a flooding client would.

usage: flood_client.py HOST PORT SOURCE COUNT KIND SECONDS [HEADER]

Opens COUNT connections from the local address SOURCE, one after another, each sending
  head  the first lines of a request head, never its end;
  body  a whole upload head announcing 100000 bytes of body, and ten bytes of it.
Prints "ready" once all are open, then "closed I" as the server closes connection I (0 is the
first opened), and ends when every one is closed or SECONDS have passed. HEADER ("Name: value")
goes into every request head, as a proxy's X-Forwarded-For would.
"""
import selectors
import socket
import sys
import time


def main():
    host, port, source, count, kind, seconds = sys.argv[1:7]
    port, count, seconds = int(port), int(count), float(seconds)
    header = (sys.argv[7] + "\r\n").encode() if len(sys.argv) > 7 else b""
    if kind == "head":
        first = b"GET /ranking?version=106 HTTP/1.1\r\nHost: flood\r\n" + header
    else:
        first = (b"POST /upload HTTP/1.1\r\nHost: flood\r\nContent-Length: 100000\r\n" + header +
                 b"Content-Type: multipart/form-data; boundary=x\r\n\r\n--x\r\nConte")
    sel = selectors.DefaultSelector()
    for i in range(count):
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.bind((source, 0))
        s.connect((host, port))
        s.sendall(first)
        s.setblocking(False)
        sel.register(s, selectors.EVENT_READ, i)
        time.sleep(0.01)
    print("ready", flush=True)
    end = time.monotonic() + seconds
    left = count
    while left and time.monotonic() < end:
        for key, _ in sel.select(timeout=0.1):
            try:
                data = key.fileobj.recv(4096)
            except OSError:
                data = b""
            if not data:
                print("closed", key.data, flush=True)
                sel.unregister(key.fileobj)
                key.fileobj.close()
                left -= 1


if __name__ == "__main__":
    main()
