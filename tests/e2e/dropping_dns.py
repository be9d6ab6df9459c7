"""Runs a command where DNS queries go unanswered and localhost listens.

    unshare -n -m python3 dropping_dns.py WORKDIR COMMAND [ARGS...]

Meant to run in a network and mount namespace of its own: it brings up the
loopback device, puts WORKDIR/resolv.conf over /etc/resolv.conf (private to
the mount namespace, so nobody else's resolver changes), answers no DNS
query sent to 127.0.0.1, and listens on 127.0.0.1:389 to see whether the
command connects there. Prints one JSON object: the command's stdout,
stderr, exit code and seconds taken, the number of DNS queries dropped and
the LDAP connections seen on localhost.

Standard library only.
"""

import json
import os
import socket
import subprocess
import sys
import threading
import time


def drop_dns(sock, counter):
    while True:
        try:
            sock.recvfrom(4096)
        except OSError:
            return
        counter[0] += 1


def watch_ldap(sock, seen):
    while True:
        try:
            connection, _ = sock.accept()
        except OSError:
            return
        seen.append(1)
        connection.close()


def main():
    workdir, command = sys.argv[1], sys.argv[2:]
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    subprocess.run(["mount", "--bind", os.path.join(workdir, "resolv.conf"),
                    "/etc/resolv.conf"], check=True)
    dns = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    dns.bind(("127.0.0.1", 53))
    ldap = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    ldap.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    ldap.bind(("127.0.0.1", 389))
    ldap.listen(8)
    queries, connections = [0], []
    threading.Thread(target=drop_dns, args=(dns, queries), daemon=True).start()
    threading.Thread(target=watch_ldap, args=(ldap, connections), daemon=True).start()
    started = time.monotonic()
    done = subprocess.run(command, capture_output=True, timeout=120,
                          stdin=subprocess.DEVNULL)
    print(json.dumps({
        "out": done.stdout.decode("utf-8", "replace"),
        "err": done.stderr.decode("utf-8", "replace"),
        "code": done.returncode,
        "seconds": time.monotonic() - started,
        "dns_queries": queries[0],
        "ldap_connections": len(connections),
    }))


if __name__ == "__main__":
    main()
