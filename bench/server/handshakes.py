#!/usr/bin/env python3
"""A burst of TLS handshakes against one HTTPS server: CONNECTIONS connections, AT_ONCE at a
time, each a full handshake (no session resumption) and one request. Prints how many were
served, how many were cut (handshake or answer failed) and the slowest handshake.
   handshakes.py HOST PORT [CONNECTIONS [AT_ONCE]]"""
import socket
import ssl
import sys
import threading
import time

host, port = sys.argv[1], int(sys.argv[2])
total = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
at_once = int(sys.argv[4]) if len(sys.argv) > 4 else 100

context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
context.check_hostname = False
context.verify_mode = ssl.CERT_NONE
request = b"POST /qx/Nothing HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"

lock = threading.Lock()
served, cut, slowest, slowest_connect = 0, 0, 0.0, 0.0
left = total
start_gate = threading.Barrier(at_once)


def one():
    global served, cut, slowest, slowest_connect
    began = time.monotonic()
    connected = began
    try:
        with socket.create_connection((host, port), timeout=30) as raw:
            connected = time.monotonic()
            with context.wrap_socket(raw) as tls:
                took = time.monotonic() - began
                tls.sendall(request)
                ok = tls.recv(64).startswith(b"HTTP/1.1 ")
    except OSError:
        ok, took = False, time.monotonic() - began
    with lock:
        slowest_connect = max(slowest_connect, connected - began)
        served += ok
        cut += not ok
        slowest = max(slowest, took)


def worker():
    global left
    start_gate.wait()
    while True:
        with lock:
            if left == 0:
                return
            left -= 1
        one()


threads = [threading.Thread(target=worker) for _ in range(at_once)]
for thread in threads:
    thread.start()
for thread in threads:
    thread.join()
print(f"{served} served, {cut} cut of {total} ({at_once} at once), slowest connection "
      f"{slowest:.2f} s (of which TCP connect {slowest_connect:.2f} s)")
