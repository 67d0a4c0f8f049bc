#!/usr/bin/env python3
"""Sends one upload body many times over raw sockets, each time cut in two where the network might
cut it: the request head and the body's first K bytes in one segment, the rest after a pause.

  split_upload.py HOST:PORT BODY_FILE BOUNDARY PAUSE_S PARALLEL K...

Prints one line per cut, "K ANSWER", where ANSWER is the reply body's first byte (or "-" when no
answer came)."""
import concurrent.futures
import socket
import sys
import time


def send(address, head, body, cut, pause):
    host, port = address.rsplit(':', 1)
    s = socket.create_connection((host, int(port)), timeout=120)
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    try:
        s.sendall(head + body[:cut])
        time.sleep(pause)
        s.sendall(body[cut:])
        reply = b''
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            reply += chunk
    except OSError:
        return '-'
    finally:
        s.close()
    _, _, content = reply.partition(b'\r\n\r\n')
    return content[:1].decode('latin-1') or '-'


def main():
    address, body_file, boundary, pause, parallel = sys.argv[1:6]
    cuts = [int(k) for k in sys.argv[6:]]
    body = open(body_file, 'rb').read()
    head = ('POST /upload HTTP/1.0\r\nHost: %s\r\nContent-Type: multipart/form-data; boundary="%s"\r\n'
            'Content-Length: %d\r\n\r\n' % (address, boundary, len(body))).encode()
    with concurrent.futures.ThreadPoolExecutor(int(parallel)) as pool:
        answers = pool.map(lambda k: (k, send(address, head, body, k, float(pause))), cuts)
        for k, answer in answers:
            print(k, answer)


main()
