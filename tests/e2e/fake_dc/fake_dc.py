"""A fake Active Directory domain controller that answers honestly or lies
in one named way (lies.py), for the tests of what a client does with a
controller it cannot trust.

    python3 fake_dc.py STATE_DIR [LIE]

Run it inside a network namespace holding the addresses of names.py. It
serves LDAP (389, with StartTLS) and LDAPS (636) over TCP, the CLDAP
netlogon ping on UDP 389 and DNS on UDP 53, on every address. The TLS
certificate comes from a throw-away CA made with openssl in STATE_DIR
(ca.pem there is what a client trusts), unless one is there already.

Everything that reaches it goes as one JSON object a line into
STATE_DIR/log.jsonl, with the local address it reached: connections,
binds (the DN, and whether a password came: never the password),
searches, StartTLS, pings and writes. STATE_DIR/ready appears once it
listens.

Standard library only (and the openssl command).
"""

import json
import os
import socket
import ssl
import struct
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import ber  # noqa: E402
import directory  # noqa: E402
import ldap_messages as lm  # noqa: E402
import lies  # noqa: E402
import locator_answers  # noqa: E402
import names as n  # noqa: E402

# A connection logs its first searches one by one, then only counts them, so
# that a client looping for ever does not fill the disk.
LOGGED_SEARCHES = 200


def make_certificates(state):
    """ca.pem and dc.pem/dc.key (for the DC's name and address) in state."""
    if os.path.exists(os.path.join(state, "dc.pem")):
        return
    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    run = lambda *args: subprocess.run(["openssl", *args], cwd=state, check=True,
                                       capture_output=True)
    run("req", "-x509", *ec, "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
        "-subj", "/CN=Fake Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
        "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    run("req", *ec, "-keyout", "dc.key", "-out", "dc.csr", "-subj", f"/CN={n.DC_HOST}")
    with open(os.path.join(state, "dc.ext"), "w") as f:
        f.write(f"subjectAltName=DNS:{n.DC_HOST},IP:{n.DC_ADDRESS}\n"
                "extendedKeyUsage=serverAuth\n")
    run("x509", "-req", "-in", "dc.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
        "-CAcreateserial", "-out", "dc.pem", "-days", "2", "-extfile", "dc.ext")


class Log:
    def __init__(self, path):
        self._file = open(path, "a", encoding="utf-8")
        self._lock = threading.Lock()

    def write(self, event, address, **fields):
        line = json.dumps(dict(event=event, address=address, time=time.time(), **fields))
        with self._lock:
            self._file.write(line + "\n")
            self._file.flush()


class Connection:
    """One client's LDAP session, plain, after StartTLS or over LDAPS."""

    def __init__(self, server, sock, address):
        self.server, self.sock, self.address = server, sock, address
        self.lie = server.lie
        self.searches = 0
        self.cycle = 0

    def log(self, event, **fields):
        self.server.log.write(event, self.address, **fields)

    def send(self, data):
        self.sock.sendall(data)

    def messages(self):
        buffer = b""
        while True:
            size = ber.message_length(buffer)
            while size is None:
                chunk = self.sock.recv(65536)
                if not chunk:
                    return
                buffer += chunk
                size = ber.message_length(buffer)
            data, buffer = buffer[:size], buffer[size:]
            yield lm.decode_message(data)

    def serve(self):
        try:
            for message in self.messages():
                if self.handle(message) is False:
                    return
        except (OSError, ssl.SSLError, ber.BerError, IndexError, ValueError):
            return
        finally:
            try:
                self.sock.close()
            except OSError:
                pass

    def silence(self):
        """Holds the connection open without a word until the client goes."""
        self.sock.settimeout(None)
        try:
            while self.sock.recv(4096):
                pass
        except OSError:
            pass
        return False

    def handle(self, message):
        op, mid = message["op"], message["id"]
        if op == lm.UNBIND:
            self.log("unbind")
            return False
        if op == lm.BIND:
            self.log("bind", dn=message["dn"], password=bool(message["password"]),
                     simple=message["simple"])
            code = 0 if message["simple"] else 7  # authMethodNotSupported
            self.send(lm.result(mid, lm.BIND_RESULT, code))
            return True
        if op == lm.EXTENDED:
            return self.extended(message)
        if op == lm.SEARCH:
            return self.search(message)
        if op in lm.WRITES:
            return self.write(message)
        if op == lm.ABANDON:
            return True
        self.send(lm.result(mid, lm.RESULT_OF.get(op, lm.EXTENDED_RESULT), 2,
                            "unsupported operation"))
        return True

    def extended(self, message):
        mid = message["id"]
        if message["oid"] != lm.START_TLS_OID:
            self.send(lm.extended_result(mid, 2, diagnostic="unknown request"))
            return True
        self.log("starttls")
        self.send(lm.extended_result(mid, 0, lm.START_TLS_OID))
        if self.lie == "starttls-reset":
            # The handshake meets a reset connection, and the client's
            # writes after it (the unbind) a socket the server has closed.
            self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            return False
        if self.lie == "starttls-silent":
            return self.silence()
        self.sock = self.server.tls.wrap_socket(self.sock, server_side=True)
        return True

    def search(self, message):
        mid, lie = message["id"], self.lie
        self.searches += 1
        if self.searches <= LOGGED_SEARCHES:
            self.log("search", base=message["base"], scope=message["scope"],
                     attributes=message["attributes"],
                     paged=lm.PAGED_RESULTS_OID in message["controls"])
        partitions = message["base"].lower().startswith("cn=partitions,")
        if partitions and lie == "partitions-silent":
            return self.silence()
        if partitions and lie == "partitions-error":
            self.send(lm.result(mid, lm.SEARCH_DONE, 1,
                                "000020D6: SvcErr: DSID-03100839, problem 5012"))
            return True
        code, found = self.server.directory.search(message["base"], message["scope"],
                                                   message["filter"])
        found = [(dn, directory.selected(a, message["attributes"])) for dn, a in found]
        found = lies.change_entries(lie, message, found)
        paging = message["controls"].get(lm.PAGED_RESULTS_OID)
        if paging is not None and lies.is_pso_search(message) and lie in (
                "paging-same-cookie", "paging-cycle", "paging-empty", "big-page", "many-psos"):
            return self.lying_page(message, found, lm.paged_request(paging))
        done_controls = b""
        if paging is not None:
            size, cookie = lm.paged_request(paging)
            start = int(cookie or b"0")
            end = start + size if size else len(found)
            found, rest = found[start:end], found[end:]
            done_controls = lm.paged_control(str(end).encode() if rest else b"")
        limit = message["size_limit"]
        if limit and len(found) > limit:
            found, code = found[:limit], 4
        for dn, attributes in found:
            self.send(lm.entry(mid, dn, attributes))
        self.send(lm.result(mid, lm.SEARCH_DONE, code, controls=done_controls))
        return True

    def lying_page(self, message, found, request):
        mid, lie = message["id"], self.lie
        size, cookie = request
        if lie == "many-psos":
            first = int(cookie or b"0")
            self.send(lies.big_page(mid, message["attributes"], first, size))
            more = first + size < lies.BIG_PAGE_ENTRIES
            self.send(lm.result(mid, lm.SEARCH_DONE, 0, controls=lm.paged_control(
                str(first + size).encode() if more else b"")))
            return True
        if lie == "big-page":
            if cookie:
                self.send(lm.result(mid, lm.SEARCH_DONE, 0, controls=lm.paged_control(b"")))
                return True
            self.send(lies.big_page(mid, message["attributes"]))
            self.send(lm.result(mid, lm.SEARCH_DONE, 0, controls=lm.paged_control(b"1")))
            return True
        if lie == "paging-empty":
            self.cycle += 1
            found, next_cookie = [], str(self.cycle).encode()
        elif lie == "paging-cycle":
            self.cycle += 1
            found, next_cookie = found[:size] if self.cycle % 2 else found[size:2 * size], \
                b"A" if self.cycle % 2 else b"B"
        else:
            found, next_cookie = found[:size], b"same"
        for dn, attributes in found:
            self.send(lm.entry(mid, dn, attributes))
        self.send(lm.result(mid, lm.SEARCH_DONE, 0, controls=lm.paged_control(next_cookie)))
        return True

    def write(self, message):
        mid, op = message["id"], message["op"]
        self.log("write", operation=lm.WRITES[op], dn=message["dn"])
        result_tag = lm.RESULT_OF[op]
        if self.lie == "write-code-256":
            self.send(lm.result(mid, result_tag, 256, "refused with a code past 255"))
            return True
        code = 0
        if self.lie != "write-ignored":
            store = self.server.directory
            if op == lm.MODIFY:
                code = store.modify(message["dn"], message["changes"])
            elif op == lm.ADD:
                code = store.add(message["dn"], message["attributes"])
            elif op == lm.DELETE:
                code = store.delete(message["dn"])
            else:
                code = store.rename(message["dn"], message["new_rdn"])
        self.send(lm.result(mid, result_tag, code))
        return True


class FakeDc:
    def __init__(self, state, lie):
        self.state, self.lie = state, lie
        self.log = Log(os.path.join(state, "log.jsonl"))
        self.directory = directory.Directory()
        make_certificates(state)
        self.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.tls.load_cert_chain(os.path.join(state, "dc.pem"), os.path.join(state, "dc.key"))

    def tcp(self, port, tls):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind(("0.0.0.0", port))
        listener.listen(64)
        threading.Thread(target=self.accept, args=(listener, port, tls), daemon=True).start()

    def accept(self, listener, port, tls):
        while True:
            sock, peer = listener.accept()
            address = sock.getsockname()[0]
            self.log.write("connect", address, port=port, peer=peer[0])
            threading.Thread(target=self.session, args=(sock, address, tls),
                             daemon=True).start()

    def session(self, sock, address, tls):
        if tls:
            if self.lie == "ldaps-silent":
                Connection(self, sock, address).silence()
                return
            try:
                sock = self.tls.wrap_socket(sock, server_side=True)
            except (OSError, ssl.SSLError) as error:
                self.log.write("tls-failed", address, reason=str(error))
                sock.close()
                return
        Connection(self, sock, address).serve()

    def udp(self, port, answer):
        # One socket per address, so that a reply leaves from the address
        # the query went to and the log knows which one that was.
        for address in (n.DC_ADDRESS, n.TRAP_ADDRESS):
            sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            sock.bind((address, port))
            threading.Thread(target=self.datagrams, args=(sock, address, answer),
                             daemon=True).start()

    def datagrams(self, sock, address, answer):
        while True:
            data, peer = sock.recvfrom(65536)
            try:
                reply = answer(data, address)
            except (ber.BerError, IndexError, ValueError, KeyError, struct.error):
                reply = None
            if reply:
                sock.sendto(reply, peer)

    def ping(self, data, address):
        request = locator_answers.ping_request(data)
        if request is None:
            return None
        message_id, domain = request
        self.log.write("ping", address, domain=domain)
        if domain and domain.lower() != n.DOMAIN:
            return None
        host = n.TRAP_HOST if self.lie == "cldap-redirect" else n.DC_HOST
        netlogon = locator_answers.netlogon_response(host)
        if self.lie == "cldap-malformed":
            netlogon = netlogon[:30]
        return locator_answers.ping_reply(message_id, netlogon)

    def dns(self, data, address):
        self.log.write("dns", address, query=data.hex())
        return locator_answers.dns_reply(data, {k.lower(): v for k, v in n.HOSTS.items()})

    def run(self):
        self.tcp(n.LDAP_PORT, tls=False)
        self.tcp(n.LDAPS_PORT, tls=True)
        self.udp(n.LDAP_PORT, self.ping)
        self.udp(53, self.dns)
        open(os.path.join(self.state, "ready"), "w").close()
        while True:
            time.sleep(3600)


def main():
    state = sys.argv[1]
    lie = sys.argv[2] if len(sys.argv) > 2 else "honest"
    if lie not in lies.LIES:
        sys.exit(f"unknown lie {lie!r}; known: {', '.join(lies.LIES)}")
    FakeDc(state, lie).run()


if __name__ == "__main__":
    main()
