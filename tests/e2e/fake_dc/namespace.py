"""A network namespace of its own for the fake controller and the client
under test: the loopback device with the controller's address and the trap
address, a resolver that asks the fake's DNS, a hosts file naming both
addresses. Needs root (ip netns).

    with FakeNetwork() as network:
        network.start("honest")      # a fresh fake, a fresh log
        network.run([...])           # a command inside the namespace
        network.events("bind")       # what reached the fake

Standard library only.
"""

import json
import os
import shutil
import signal
import subprocess
import tempfile
import time

import names as n

HERE = os.path.dirname(os.path.abspath(__file__))


def _ip(*args):
    subprocess.run(["ip", *args], check=True, capture_output=True)


class FakeNetwork:
    def __init__(self):
        # One namespace per test process: two suites may run at once.
        self.name = f"tvxfake{os.getpid()}"
        self.etc = f"/etc/netns/{self.name}"
        self.state = None
        self.fake = None
        self.certificates = None

    def __enter__(self):
        self.create()
        return self

    def __exit__(self, *exc):
        self.destroy()

    def create(self):
        self.destroy()
        self.certificates = tempfile.mkdtemp(prefix="tvxfake-ca-")
        _ip("netns", "add", self.name)
        # The loopback device holds both addresses: nothing leaves the
        # namespace, and no kernel module is needed for a device of its own.
        _ip("-n", self.name, "link", "set", "lo", "up")
        for address in (n.DC_ADDRESS, n.TRAP_ADDRESS):
            _ip("-n", self.name, "addr", "add", f"{address}/{n.SUBNET_PREFIX}", "dev", "lo")
        os.makedirs(self.etc, exist_ok=True)
        with open(os.path.join(self.etc, "hosts"), "w") as f:
            f.write("127.0.0.1 localhost\n")
            for host, address in n.HOSTS.items():
                f.write(f"{address} {host} {host.split('.')[0]}\n")
        with open(os.path.join(self.etc, "resolv.conf"), "w") as f:
            f.write(f"nameserver {n.DC_ADDRESS}\nsearch {n.DOMAIN}\n"
                    "options timeout:1 attempts:2\n")

    def destroy(self):
        self.stop()
        subprocess.run(["ip", "netns", "del", self.name], capture_output=True)
        shutil.rmtree(self.etc, ignore_errors=True)
        for scratch in (self.state, self.certificates):
            if scratch:
                shutil.rmtree(scratch, ignore_errors=True)
        self.state = self.certificates = None

    def start(self, lie="honest"):
        """A fresh fake telling this lie, with an empty log."""
        self.stop()
        if self.state:
            shutil.rmtree(self.state, ignore_errors=True)
        self.state = tempfile.mkdtemp(prefix="tvxfake-")
        # One CA for every start: the certificate is made once.
        for name in ("ca.pem", "dc.pem", "dc.key"):
            source = os.path.join(self.certificates, name)
            if os.path.exists(source):
                shutil.copy(source, self.state)
        with open(os.path.join(self.state, "stderr"), "w") as errors:
            self.fake = subprocess.Popen(
                ["ip", "netns", "exec", self.name, "python3",
                 os.path.join(HERE, "fake_dc.py"), self.state, lie],
                stdout=subprocess.DEVNULL, stderr=errors, start_new_session=True)
        deadline = time.monotonic() + 30
        while not os.path.exists(os.path.join(self.state, "ready")):
            if self.fake.poll() is not None or time.monotonic() > deadline:
                raise AssertionError("the fake controller did not start: "
                                     + open(os.path.join(self.state, "stderr")).read())
            time.sleep(0.05)
        for name in ("ca.pem", "dc.pem", "dc.key"):
            shutil.copy(os.path.join(self.state, name), self.certificates)

    def stop(self):
        if self.fake is not None:
            try:
                os.killpg(self.fake.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            self.fake.wait()
            self.fake = None

    @property
    def ca_file(self):
        return os.path.join(self.certificates, "ca.pem")

    def command(self, args):
        """A command line that runs args inside the namespace."""
        return ["ip", "netns", "exec", self.name] + list(args)

    def events(self, kind=None):
        """The fake's log, optionally of one kind of event only."""
        path = os.path.join(self.state, "log.jsonl")
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8") as f:
            found = [json.loads(line) for line in f if line.strip()]
        return [e for e in found if kind is None or e["event"] == kind]
