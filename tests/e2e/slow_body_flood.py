#!/usr/bin/env python3
"""Holds slow-body requests to a server from many loopback addresses, as a flooding crowd would.

usage: slow_body_flood.py HOST PORT FIRST_SOURCE ADDRESSES PER_ADDRESS KIND SECONDS

From ADDRESSES local addresses counting up from FIRST_SOURCE (127.0.0.2, 127.0.0.3, ...), keeps
PER_ADDRESS connections each, every one sending a request head that announces a body, then one
byte of the body every 4 s; a connection the server closes is opened again at its next byte's
time. KIND is
  get     GET /healthz with Content-Length: 4000 (a route that takes no body);
  upload  POST /upload, a multipart form announcing 100000 bytes.
Prints "ready" once all are open, and at the end (after SECONDS) "opened N closed M answered A",
A being the closes that came with an HTTP answer. Every socket is closed when it ends.
"""
import ipaddress
import selectors
import socket
import sys
import time

TICK = 4.0


def main():
    host, port, first, addresses, per, kind, seconds = sys.argv[1:8]
    port, addresses, per, seconds = int(port), int(addresses), int(per), float(seconds)
    if kind == "get":
        head = b"GET /healthz HTTP/1.1\r\nHost: flood\r\nContent-Length: 4000\r\n\r\n"
    else:
        head = (b"POST /upload HTTP/1.1\r\nHost: flood\r\nContent-Length: 100000\r\n"
                b"Content-Type: multipart/form-data; boundary=x\r\n\r\n")
    sources = [str(ipaddress.ip_address(first) + i) for i in range(addresses)]
    sel = selectors.DefaultSelector()
    slots = {}  # slot: [socket or None, next byte's time, bytes answered]
    opened = closed = answered = 0

    def connect(slot):
        nonlocal opened
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.bind((sources[slot[0]], 0))
        try:
            s.connect((host, port))
            s.sendall(head)
        except OSError:
            s.close()
            return None
        s.setblocking(False)
        sel.register(s, selectors.EVENT_READ, slot)
        opened += 1
        return s

    start = time.monotonic()
    for a in range(addresses):
        for i in range(per):
            slot = (a, i)
            # The bytes of a crowd's connections spread over the tick.
            slots[slot] = [connect(slot), start + TICK * (i + a * per) / (addresses * per), 0]
    print("ready", flush=True)
    end = start + seconds
    while time.monotonic() < end:
        for key, _ in sel.select(timeout=0.05):
            state = slots[key.data]
            try:
                data = key.fileobj.recv(4096)
            except OSError:
                data = b""
            if data:
                state[2] += len(data)
                continue
            sel.unregister(key.fileobj)
            key.fileobj.close()
            closed += 1
            answered += state[2] > 0
            state[0], state[2] = None, 0
        now = time.monotonic()
        for slot, state in slots.items():
            if now < state[1]:
                continue
            state[1] += TICK
            if state[0] is None:
                state[0] = connect(slot)
                continue
            try:
                state[0].send(b"a")
            except OSError:
                pass
    for state in slots.values():
        if state[0] is not None:
            sel.unregister(state[0])
            state[0].close()
    print("opened %d closed %d answered %d" % (opened, closed, answered), flush=True)


if __name__ == "__main__":
    main()
