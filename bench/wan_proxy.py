#!/usr/bin/env python3
"""Puts a slow link between one command and the lab's domain controller.

    python3 bench/wan_proxy.py [--delay-ms 50] [--ns tvxwan] [--dc 10.99.0.11]
                               -- COMMAND...

The command runs in a network namespace of its own (made by bench_wan.sh)
in which the controller's address is a local address held by this proxy:
everything the command sends to the controller reaches the proxy, which
relays it to the real controller from the host's namespace and holds every
piece half the round-trip delay in each direction. Relayed: LDAP and the
global catalog (TCP 389, 3268), the locator's DNS questions and CLDAP ping
(UDP 53, 389) and Kerberos (TCP and UDP 88).

When the command ends, one JSON object is printed: the LDAP requests by
operation (read from the BER tag of each protocolOp; after a SASL bind with
a security layer the requests are sealed and count as "sealed"), the TCP
connections per port, the DNS questions, CLDAP pings and Kerberos
exchanges, the round trips and the wall time.

A round trip is a wave: a request sent after an answer (any answer, on any
channel) arrived at the command opens a new one; requests sent before the
next answer belong to the same wave. A TCP connection is one round trip
(its handshake), though the kernel of the namespace completes it at once,
so the wall time does not include that wait. An unbind needs no answer and
opens no round trip.

Standard library only; needs root (network namespaces).
"""

import argparse
import ctypes
import json
import os
import queue
import socket
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ldap_ops  # noqa: E402  (BER reading shared with the wire counter)

CLONE_NEWNET = 0x40000000
TCP_PORTS = {389: "ldap", 3268: "gc", 88: "kerberos"}
UDP_PORTS = {53: "dns", 389: "cldap", 88: "kerberos"}


class Counters:
    def __init__(self):
        self.lock = threading.Lock()
        self.requests = {}
        self.connections = {}
        self.datagrams = {}
        self.kerberos_tcp = 0
        self.round_trips = 0
        self.answered = True  # the first request opens the first wave
        self.waves = []  # per wave, what was sent in it

    def request(self, kind=None, table=None, opens_wave=True, label=None):
        with self.lock:
            if table is not None:
                table[kind] = table.get(kind, 0) + 1
            if opens_wave and self.answered:
                self.round_trips += 1
                self.answered = False
                self.waves.append([])
            if self.waves:
                self.waves[-1].append(label or kind or "?")

    def answer(self):
        with self.lock:
            self.answered = True

    def connection(self, name):
        with self.lock:
            self.connections[name] = self.connections.get(name, 0) + 1
            self.round_trips += 1
            self.answered = True
            self.waves.append(["tcp/" + name])


def enter_namespace(name):
    libc = ctypes.CDLL(None, use_errno=True)
    with open(f"/var/run/netns/{name}") as ns:
        if libc.setns(ns.fileno(), CLONE_NEWNET) != 0:
            raise OSError(ctypes.get_errno(), "setns")


def leave_namespace(home):
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.setns(home, CLONE_NEWNET) != 0:
        raise OSError(ctypes.get_errno(), "setns")


class DelayedSender(threading.Thread):
    """Sends each piece half the delay after it was read, in order."""

    def __init__(self, send, delay, on_sent=None):
        super().__init__(daemon=True)
        self.send, self.delay, self.on_sent = send, delay, on_sent
        self.pieces = queue.Queue()
        self.start()

    def put(self, data):
        self.pieces.put((time.monotonic() + self.delay, data))

    def run(self):
        while True:
            due, data = self.pieces.get()
            if data is None:
                self.send(None)
                return
            wait = due - time.monotonic()
            if wait > 0:
                time.sleep(wait)
            try:
                self.send(data)
            except OSError:
                return
            if self.on_sent:
                self.on_sent()


class LdapRequests:
    """Splits the command's byte stream into LDAP messages and counts them."""

    def __init__(self, counters):
        self.counters = counters
        self.buffer = b""

    def feed(self, data):
        self.buffer += data
        while self.buffer:
            if self.buffer[0] == 0x30:
                element = ldap_ops.ber_element(self.buffer, 0)
                if element is None:
                    return
                kind = ldap_ops.describe(self.buffer[:element[2]]).split()[0]
                self.buffer = self.buffer[element[2]:]
            else:  # a SASL buffer: four octets of length, then sealed bytes
                if len(self.buffer) < 4:
                    return
                size = int.from_bytes(self.buffer[:4], "big") + 4
                if len(self.buffer) < size:
                    return
                kind = "sealed"
                self.buffer = self.buffer[size:]
            self.counters.request(kind, self.counters.requests,
                                  opens_wave=kind != "unbind")


def relay_tcp(client, port, dc, delay, counters):
    counters.connection(TCP_PORTS[port])
    server = socket.create_connection((dc, port))
    # Each piece goes on when its delay is up, not when the previous one is
    # acknowledged: without this, a second request sent right behind the
    # first would wait for the controller's delayed ACK (about 40 ms).
    for end in (server, client):
        end.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    to_server = DelayedSender(lambda d: server.sendall(d) if d else
                              server.shutdown(socket.SHUT_WR), delay)
    to_client = DelayedSender(lambda d: client.sendall(d) if d else
                              client.shutdown(socket.SHUT_WR), delay,
                              counters.answer)
    ldap = LdapRequests(counters) if port != 88 else None

    def pump(source, sink, inspect):
        while True:
            try:
                data = source.recv(65536)
            except OSError:
                data = b""
            if not data:
                sink.put(None)
                return
            inspect(data)
            sink.put(data)

    def from_client(data):
        if ldap:
            ldap.feed(data)
        else:
            counters.request("kerberos/tcp", counters.datagrams)

    up = threading.Thread(target=pump, args=(client, to_server, from_client), daemon=True)
    down = threading.Thread(target=pump, args=(server, to_client, lambda d: None), daemon=True)
    up.start()
    down.start()


def serve_tcp(listener, port, dc, delay, counters):
    while True:
        client, _ = listener.accept()
        threading.Thread(target=relay_tcp, args=(client, port, dc, delay, counters),
                         daemon=True).start()


def dns_question(data):
    """'dns NAME TYPE' of a DNS query, for the wave listing."""
    labels, at = [], 12
    while at < len(data) and data[at]:
        labels.append(data[at + 1:at + 1 + data[at]].decode("ascii", "replace"))
        at += 1 + data[at]
    qtype = int.from_bytes(data[at + 1:at + 3], "big") if at + 3 <= len(data) else 0
    return "dns:%s/%s" % (".".join(labels), {1: "A", 28: "AAAA", 33: "SRV"}.get(qtype, qtype))


def serve_udp(listener, port, dc, delay, counters):
    """One upstream socket per question, so answers find their way back."""
    name = UDP_PORTS[port]
    reply = DelayedSender(lambda item: listener.sendto(*item) if item else None,
                          delay, counters.answer)
    while True:
        data, client = listener.recvfrom(65536)
        counters.request(name, counters.datagrams,
                         label=dns_question(data) if port == 53 else None)

        def ask(data=data, client=client):
            time.sleep(delay)
            upstream = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            upstream.settimeout(5)
            upstream.sendto(data, (dc, port))
            try:
                answer, _ = upstream.recvfrom(65536)
            except OSError:
                return
            finally:
                upstream.close()
            reply.put((answer, client))

        threading.Thread(target=ask, daemon=True).start()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--delay-ms", type=float, default=50.0,
                        help="round trip added (half each way)")
    parser.add_argument("--ns", default="tvxwan")
    parser.add_argument("--dc", default="10.99.0.11")
    parser.add_argument("command", nargs="+")
    args = parser.parse_args()
    delay = args.delay_ms / 2000.0
    counters = Counters()

    home = os.open("/proc/self/ns/net", os.O_RDONLY)
    enter_namespace(args.ns)
    listeners = []
    for port in TCP_PORTS:
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind((args.dc, port))
        s.listen(16)
        listeners.append((serve_tcp, s, port))
    for port in UDP_PORTS:
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind((args.dc, port))
        listeners.append((serve_udp, s, port))
    leave_namespace(home)
    for serve, s, port in listeners:
        threading.Thread(target=serve, args=(s, port, args.dc, delay, counters),
                         daemon=True).start()

    start = time.monotonic()
    child = subprocess.run(["ip", "netns", "exec", args.ns] + args.command,
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    wall = time.monotonic() - start
    time.sleep(0.05)
    with counters.lock:
        print(json.dumps({
            "exit": child.returncode,
            "requests": counters.requests,
            "connections": counters.connections,
            "datagrams": counters.datagrams,
            "round_trips": counters.round_trips,
            "wall_ms": round(wall * 1000),
            "waves": [" ".join(w) for w in counters.waves],
            "stderr": child.stderr.decode("utf-8", "replace")[-300:],
        }))


if __name__ == "__main__":
    main()
