#!/usr/bin/env python3
"""Counts the LDAP operations a client sends, by watching the wire.

    ip netns exec talvexlab python3 bench/ldap_ops.py [--iface lo] -- COMMAND...
    ip netns exec talvexlab python3 bench/ldap_ops.py [--iface lo] [--ready FILE]

With a command, runs it (output discarded) and counts only what that process
sent: the client ports of its sockets are read from /proc while it runs, so
other clients of the same server do not count. Without one, runs until SIGINT
or SIGTERM and counts everything. Prints what was sent to LDAP (389) and
global catalog (3268) ports: one line per request in order (connection,
operation, search base, scope, first or next page), then totals, and the DNS
queries (UDP 53) and CLDAP pings (UDP 389) of the locator.

Only clear-text LDAP can be read: use a simple bind for counting (a Kerberos
bind with a SASL security layer wraps every later request). In the lab the
client and the domain controller share one network namespace, so the
traffic crosses the loopback interface, which carries each packet once per
direction; copies the kernel shows as outgoing are skipped.

Standard library only; needs CAP_NET_RAW (root).
"""

import argparse
import os
import signal
import socket
import struct
import subprocess
import sys
import threading
import time

ETH_P_ALL = 0x0003
PACKET_OUTGOING = 4
LDAP_PORTS = (389, 3268)

OPERATIONS = {
    0x60: "bind", 0x42: "unbind", 0x63: "search", 0x66: "modify", 0x68: "add",
    0x4A: "delete", 0x6C: "modifyDN", 0x6E: "compare", 0x50: "abandon",
    0x77: "extended",
}
SCOPES = {0: "base", 1: "one", 2: "sub"}
PAGED_RESULTS_OID = b"1.2.840.113556.1.4.319"


def ber_length(data, offset):
    """(length, offset after the length octets) or None when incomplete."""
    if offset >= len(data):
        return None
    first = data[offset]
    offset += 1
    if first < 0x80:
        return first, offset
    count = first & 0x7F
    if offset + count > len(data):
        return None
    return int.from_bytes(data[offset:offset + count], "big"), offset + count


def ber_element(data, offset):
    """(tag, value start, value end) or None when incomplete."""
    if offset >= len(data):
        return None
    tag = data[offset]
    parsed = ber_length(data, offset + 1)
    if parsed is None:
        return None
    length, start = parsed
    if start + length > len(data):
        return None
    return tag, start, start + length


def describe(message):
    """A short text for one LDAPMessage."""
    element = ber_element(message, 0)
    _, start, end = element
    message_id = ber_element(message, start)
    op = ber_element(message, message_id[2])
    if op is None:
        return "?"
    tag, op_start, op_end = op
    name = OPERATIONS.get(tag, f"op-0x{tag:02x}")
    if tag == 0x60:
        version = ber_element(message, op_start)
        dn = ber_element(message, version[2])
        auth = ber_element(message, dn[2])
        kind = {0x80: "simple", 0xA3: "sasl"}.get(auth[0], "?")
        return f"bind {kind}"
    if tag == 0x63:
        base = ber_element(message, op_start)
        scope = ber_element(message, base[2])
        text = message[base[1]:base[2]].decode("utf-8", "replace")
        scope_value = message[scope[1]] if scope[2] > scope[1] else -1
        paged = ""
        if op_end < end:  # controls [0]
            controls = message[op_end:end]
            if PAGED_RESULTS_OID in controls:
                # The cookie is the last OCTET STRING of the control value;
                # an empty one starts the search.
                paged = " paged" + (" (first page)" if controls.endswith(b"\x04\x00")
                                    else " (next page)")
        return f"search base='{text}' scope={SCOPES.get(scope_value, '?')}{paged}"
    return name


class Watcher:
    def __init__(self, iface):
        self.sock = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(ETH_P_ALL))
        self.sock.bind((iface, 0))
        self.sock.settimeout(0.2)
        self.buffers = {}      # client port -> bytes not parsed yet
        self.connections = {}  # client port -> (number, server port)
        self.requests = []     # (connection number, text)
        # (time, "dns" or "cldap"): UDP sockets of a run live too briefly to
        # be tied to the process, so they count by time instead.
        self.udp = []
        self.window = None  # (start, end) of the watched run
        self.stop = False
        self.ports = None  # client ports of the process watched (None: all)

    def mine(self, port):
        return self.ports is None or port in self.ports

    def connection(self, client_port, server_port):
        if client_port not in self.connections:
            self.connections[client_port] = (len(self.connections) + 1, server_port)
        return self.connections[client_port][0]

    def packet(self, frame):
        if len(frame) < 14 + 20 or frame[12:14] != b"\x08\x00":
            return
        ip = frame[14:]
        header = (ip[0] & 0x0F) * 4
        protocol = ip[9]
        total = struct.unpack("!H", ip[2:4])[0]
        ip = ip[:total]
        if protocol == 17:
            dport = struct.unpack("!H", ip[header + 2:header + 4])[0]
            if dport == 53:
                self.udp.append((time.monotonic(), "dns"))
            elif dport == 389:
                self.udp.append((time.monotonic(), "cldap"))
            return
        if protocol != 6:
            return
        tcp = ip[header:]
        sport, dport = struct.unpack("!HH", tcp[:4])
        if dport not in LDAP_PORTS or not self.mine(sport):
            return
        flags = tcp[13]
        if flags & 0x02 and not flags & 0x10:  # SYN: a new connection
            self.buffers[sport] = b""
            self.connection(sport, dport)
            return
        payload = tcp[(tcp[12] >> 4) * 4:]
        if not payload:
            return
        number = self.connection(sport, dport)
        data = self.buffers.get(sport, b"") + payload
        offset = 0
        while True:
            element = ber_element(data, offset)
            if element is None or element[0] != 0x30:
                break
            self.requests.append((number, describe(data[offset:element[2]])))
            offset = element[2]
        self.buffers[sport] = data[offset:]

    def run(self):
        while not self.stop:
            try:
                frame, address = self.sock.recvfrom(65535)
            except socket.timeout:
                continue
            except InterruptedError:
                continue
            if address[2] == PACKET_OUTGOING:
                continue
            self.packet(frame)

    def filter_to(self, ports):
        """Keeps only the traffic of these client ports (known afterwards)."""
        self.ports = ports
        self.requests = [(n, t) for n, t in self.requests
                         if any(c == n and p in ports
                                for p, (c, _) in self.connections.items())]
        kept = {p: v for p, v in self.connections.items() if p in ports}
        renumber = {old: new for new, (old, _) in
                    enumerate(sorted(kept.values()), 1)}
        self.connections = {p: (renumber[n], sp) for p, (n, sp) in kept.items()}
        self.requests = [(renumber[n], t) for n, t in self.requests]

    def report(self):
        for number, text in self.requests:
            port = [p for n, p in self.connections.values() if n == number]
            print(f"  conn {number} ({port[0] if port else '?'}): {text}")
        kinds = {}
        for _, text in self.requests:
            kind = text.split()[0]
            kinds[kind] = kinds.get(kind, 0) + 1
        print(f"connections: {len(self.connections)}")
        print("requests: " + str(len(self.requests)) + " ("
              + ", ".join(f"{k} {v}" for k, v in sorted(kinds.items())) + ")")
        udp = [kind for when, kind in self.udp
               if self.window is None or self.window[0] <= when <= self.window[1]]
        scope = " (any client, while the command ran)" if self.window else ""
        print(f"dns queries: {udp.count('dns')}; cldap pings: {udp.count('cldap')}{scope}")


def socket_inodes(pid):
    inodes = set()
    try:
        for fd in os.listdir(f"/proc/{pid}/fd"):
            try:
                target = os.readlink(f"/proc/{pid}/fd/{fd}")
            except OSError:
                continue
            if target.startswith("socket:["):
                inodes.add(target[8:-1])
    except OSError:
        pass
    return inodes


def local_ports(inodes):
    """Local ports of the TCP and UDP sockets with these inodes."""
    ports = set()
    for table in ("tcp", "udp", "tcp6", "udp6"):
        try:
            with open(f"/proc/net/{table}") as f:
                next(f)
                for line in f:
                    fields = line.split()
                    if fields[9] in inodes:
                        ports.add(int(fields[1].rsplit(":", 1)[1], 16))
        except OSError:
            continue
    return ports


def run_watched(watcher, command):
    """Runs the command while capturing; returns the client ports it used."""
    capture = threading.Thread(target=watcher.run, daemon=True)
    capture.start()
    time.sleep(0.2)
    start = time.monotonic()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    ports = set()
    # Short-lived sockets (a DNS query) may close between two looks; the
    # LDAP connections live for the whole run and are always seen.
    while child.poll() is None:
        ports |= local_ports(socket_inodes(child.pid))
        time.sleep(0.001)
    watcher.window = (start, time.monotonic())
    time.sleep(0.3)
    watcher.stop = True
    capture.join()
    return ports


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--iface", default="lo")
    parser.add_argument("--ready", help="file to create once capturing")
    parser.add_argument("command", nargs="*", help="command to run and watch")
    args = parser.parse_args()
    watcher = Watcher(args.iface)
    if args.command:
        watcher.filter_to(run_watched(watcher, args.command))
        watcher.report()
        return

    def finish(*_):
        watcher.stop = True

    signal.signal(signal.SIGINT, finish)
    signal.signal(signal.SIGTERM, finish)
    if args.ready:
        open(args.ready, "w").close()
    watcher.run()
    watcher.report()
    sys.stdout.flush()


if __name__ == "__main__":
    main()
