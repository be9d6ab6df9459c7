"""Talvex against a domain controller that lies (fake_dc/): a run ends with
the problem named and a non-zero exit status, in bounded time and memory,
without sending a write it should not or reaching the trap address.

The fake runs in a network namespace of its own (fake_dc/namespace.py, as
root), and talvex runs there too, under /usr/bin/time -v for its peak
memory. No lab is needed. Under Wine (TALVEX_BINARY=...talvex.exe) the
cases whose fault lies in shared code run again.

TALVEX_FIGURES=FILE adds one JSON line per run to FILE (case, exit status,
seconds, peak memory), for before/after comparisons.

Standard library only.
"""

import collections
import json
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest

import talvex_process

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "fake_dc"))
import names as n  # noqa: E402
from namespace import FakeNetwork  # noqa: E402

# ---- What a sound run shows (fragments, so that wording can move) -----------

# The connection timeout that bounds a TLS handshake (openldap_client.cc).
TLS_WAIT_SECONDS = 10
# The operation timeout a server that stops answering costs once.
OPERATION_TIMEOUT_SECONDS = 120
FAILED = "The command did not complete successfully."
SUCCEEDED = "The command completed successfully."
OUTSIDE_PSO = ("CN=outside,CN=Password Settings Container,CN=System,"
               + n.OTHER_DOMAIN_DN)
EXPECTED = {
    "redirect": [n.DC_ADDRESS, n.TRAP_HOST],
    "alias": ["Using host: " + n.SITE + "\\" + n.DC_HOST, SUCCEEDED],
    "starttls-silent": [f"no TLS handshake from {n.DC_HOST}:389 within "
                        f"{TLS_WAIT_SECONDS} seconds"],
    "ldaps-silent": [f"no TLS handshake from {n.DC_HOST}:636 within "
                     f"{TLS_WAIT_SECONDS} seconds"],
    "ranges-endless": [f"The server {n.DC_HOST} sent more than",
                       "of member of CN=Staff,CN=Users," + n.DOMAIN_DN,
                       "without coming to the last; the values are not read further."],
    "paging-repeated": [f"The server {n.DC_HOST} sent a page it had sent before "
                        "(the same paging cookie)", "the search is given up."],
    "paging-empty": [f"The server {n.DC_HOST} sent 100 pages without entries in a row",
                     "the search is given up."],
    "big-page": ["The server sent more than 1000 entries for a page of 100; "
                 "the search is given up", FAILED],
    "domain-list": ["GetDomainList", FAILED],
    "write-256": [FAILED],
    "write-ignored": ["The server reported the change as made, but",
                      "minimum password length (written 13, read back 12)"],
    "closed-socket": [FAILED],
    "letter-case": ["Lockout Threshold  : 5", "Min Pwd Length     : 7", SUCCEEDED],
    "quickstart": [SUCCEEDED],
    "outside-view": ["WARN: ", OUTSIDE_PSO],
    "outside-delete": [],
    "second-value": ["Min Pwd Length     : (invalid: 12", "WARN: ", SUCCEEDED],
    "ranges-backward": [f"The server {n.DC_HOST} answered the read of the values",
                        "ranges that do not move on are not followed."],
    "cldap-malformed": ["1722", "malformed"],
}
# Text a sound run never shows.
NEVER = {
    "letter-case": ["(unset)"],
    "quickstart": ["(unset)", "No PSO was created."],
    "outside-view": ["DN                 : " + OUTSIDE_PSO],
}

# ---- The cases ---------------------------------------------------------------

DC_SWITCHES = ["-h", n.DC_ADDRESS]
BIND = ["-u", n.ADMIN_DN, "-up", n.ADMIN_PASSWORD, "-simple"]
# Exit statuses that are a signal or a kill, never a sound ending.
SIGNALLED = {124, 134, 137, 139, 141}

Case = collections.namedtuple(
    "Case", "item name lie args code seconds memory_mb writes shared switches",
    defaults=(None, 20, None, (), True, None))
# code: the exit status, or None for any failure (non-zero); seconds and
# memory_mb: bounds on wall time and peak memory; writes: the write
# operations the fake may see (none by default); shared: the fault is in
# code both builds share, so the case runs under Wine too; switches: how to
# reach the fake, when not connection_switches().
CASES = [
    Case(1, "redirect", "cldap-redirect", ["-view", "-pso"], shared=False),
    Case(1, "redirect-located", "cldap-redirect", ["-view", "-pso"], shared=False,
         switches=["-domain", n.DOMAIN]),
    Case(1, "alias", "honest", ["-view", "-pso"], code=0, shared=False),
    Case(2, "starttls-silent", "starttls-silent", ["-starttls", "-view", "-pso"],
         seconds=TLS_WAIT_SECONDS + 10, shared=False),
    Case(2, "ldaps-silent", "ldaps-silent", ["-ssl", "-view", "-pso"],
         seconds=TLS_WAIT_SECONDS + 10, shared=False),
    Case(3, "ranges-endless", "ranges-endless", ["-applied", "-pso"], seconds=60,
         memory_mb=1024),
    Case(4, "paging-repeated", "paging-same-cookie", ["-view", "-pso"], memory_mb=256),
    Case(4, "paging-cycle", "paging-cycle", ["-view", "-pso"], memory_mb=256),
    Case(4, "paging-empty", "paging-empty", ["-view", "-pso"], memory_mb=256),
    # Printing 100,000 policies takes talvex.exe minutes under Wine.
    # A page ten times bigger than asked ends the search.
    Case(5, "big-page", "big-page", ["-view", "-pso", "-q"],
         seconds=300 if talvex_process.is_windows() else 90, memory_mb=256),
    # The same PSOs paged as asked: what the oversized page is measured against.
    Case(5, "many-psos", "many-psos", ["-view", "-pso", "-q"], code=0,
         seconds=300 if talvex_process.is_windows() else 90, memory_mb=256),
    Case(6, "domain-list", "partitions-error", ["-view", "-dompol", "-alldoms"]),
    Case(6, "domain-list-silent", "partitions-silent", ["-view", "-dompol", "-alldoms"],
         seconds=OPERATION_TIMEOUT_SECONDS + 20),
    Case(6, "write-256", "write-code-256",
         ["-mod", "::::13", "-pso", "pso-staff", "-forreal"], writes=("modify",)),
    Case(6, "write-ignored", "write-ignored",
         ["-mod", "::::13", "-pso", "pso-staff", "-forreal"], writes=("modify",)),
    Case(7, "closed-socket", "starttls-reset", ["-starttls", "-view", "-pso"],
         shared=False),
    Case(8, "letter-case", "letter-case", ["-view", "-allpwdpols"], code=0),
    Case(8, "quickstart", "letter-case", ["-quickstart"], code=0),
    Case(9, "outside-view", "outside-pso", ["-view", "-pso"], code=0),
    Case(9, "outside-delete", "outside-pso",
         ["-multidel", "-pso", "-override", "-forreal"], code=0, writes=("delete",)),
    Case(10, "second-value", "second-value", ["-view", "-pso"], code=0),
    Case(10, "ranges-backward", "ranges-backward", ["-applied", "-pso"]),
    Case(10, "cldap-malformed", "cldap-malformed", ["-view", "-pso"], code=1722 & 0xFF,
         shared=False),
]
# Cases whose sound behaviour has not landed yet, by build, with what is
# still wrong: they run, and are expected to fail until it lands.
NOT_YET = {
    "linux": {},
    "windows": {},
}
# Cases that are not run on a build, with the reason: still open there and
# too slow to run as an expected failure in every test run.
SKIPPED = {
    "linux": {},
    "windows": {
        "big-page": "open: the Windows client takes the page whole from "
                    "ldap_get_next_page_s (489 MB for 100,000 entries, 155 MB paged "
                    "as asked), and printing 100,000 policies takes minutes under Wine",
        "many-psos": "the yardstick of big-page, which does not run under Wine",
        "domain-list-silent": "open: the Windows client passes no timeout to the "
                              "search calls (killed after 280 s under Wine)",
    },
}
# The expected name of each case's fragments, where it is not the case's own.
FRAGMENTS_OF = {"domain-list-silent": "domain-list", "paging-cycle": "paging-repeated",
                "redirect-located": "redirect"}

# ---- Running talvex in the fake's namespace ------------------------------------

Run = collections.namedtuple("Run", "out err code seconds memory_mb")


def run_talvex(network, args, seconds):
    """Runs talvex inside the namespace, killed past twice its time bound."""
    path = talvex_process.binary()
    windows = talvex_process.is_windows(path)
    with tempfile.TemporaryDirectory() as scratch:
        usage = os.path.join(scratch, "time")
        command = ["/usr/bin/time", "-v", "-o", usage, "timeout", "-k", "5",
                   str(2 * seconds)] + talvex_process.command(args, path)
        if not windows:
            # A run that grows without end stops at 2 GB instead of taking
            # the machine's memory.
            command = ["bash", "-c", 'ulimit -v 2000000; exec "$@"', "run"] + command
        env = ["env", "LDAPTLS_CACERT=" + network.ca_file, "LDAPTLS_REQCERT=demand"]
        outputs = [open(os.path.join(scratch, name), "w+b") for name in ("out", "err")]
        started = time.monotonic()
        done = subprocess.run(network.command(env + command), stdin=subprocess.DEVNULL,
                              stdout=outputs[0], stderr=outputs[1],
                              timeout=2 * seconds + 60)
        elapsed = time.monotonic() - started
        texts = []
        for output in outputs:
            output.seek(0)
            raw = output.read()
            output.close()
            texts.append(talvex_process.windows_text(raw, "file") if windows
                         else raw.decode("utf-8", "replace"))
        with open(usage, encoding="utf-8", errors="replace") as f:
            found = re.search(r"Maximum resident set size \(kbytes\): (\d+)", f.read())
    memory = int(found.group(1)) / 1024 if found else None
    return Run(texts[0], texts[1], done.returncode, elapsed, memory)


def connection_switches():
    """How each build reaches the fake: Linux pings the address -h names;
    under Wine DsGetDcNameW finds the controller of -domain through DNS."""
    if talvex_process.is_windows():
        return ["-domain", n.DOMAIN]
    return DC_SWITCHES


def record_figures(case, run):
    path = os.environ.get("TALVEX_FIGURES")
    if not path:
        return
    with open(path, "a", encoding="utf-8") as f:
        f.write(json.dumps({"case": case.name, "item": case.item,
                            "binary": talvex_process.binary(), "code": run.code,
                            "seconds": round(run.seconds, 1),
                            "memory_mb": run.memory_mb}) + "\n")


class LyingControllerTest(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        if os.geteuid() != 0:
            message = "the fake controller's network namespace needs root"
            if os.environ.get("CI"):
                raise AssertionError(message)
            raise unittest.SkipTest(message + " [skipped in a local run only]")
        cls.network = FakeNetwork()
        cls.network.create()
        cls.addClassCleanup(cls.network.destroy)
        if talvex_process.is_windows():
            # The Wine server opens every socket of its programs, in the
            # namespace it was started in: a server left from an earlier run
            # (in a namespace now gone) is waited for, and this run's own is
            # ended with the class. The prefix is this suite's alone. The
            # prefix and the server start before the first case's clock does.
            cls.wine_server(["-w"])
            cls.addClassCleanup(cls.wine_server, ["-k"])
            subprocess.run(cls.network.command(
                talvex_process.command(["-?"])), capture_output=True, timeout=300)

    @staticmethod
    def wine_server(args):
        server = os.environ.get("TALVEX_WINESERVER", "/usr/lib/wine/wineserver")
        env = dict(os.environ, WINEPREFIX=os.environ["TALVEX_WINEPREFIX"])
        subprocess.run([server] + args, env=env, capture_output=True, timeout=120)

    def check(self, case):
        self.network.start(case.lie)
        switches = connection_switches() if case.switches is None else case.switches
        args = list(case.args) + BIND + switches
        run = run_talvex(self.network, args, case.seconds)
        record_figures(case, run)
        shown = run.out + run.err
        note = (f"talvex {' '.join(args)} against a fake that lies: "
                f"{case.lie}\nexit {run.code}, {run.seconds:.1f} s, "
                f"{run.memory_mb} MB\n{shown[-3000:]}")
        events = self.network.events()
        trapped = [e for e in events if e["address"] == n.TRAP_ADDRESS
                   and e["event"] in ("connect", "bind")]
        self.assertEqual([], trapped, "reached the trap address\n" + note)
        self.assertNotIn(run.code, SIGNALLED, note)
        if case.code is None:
            self.assertNotEqual(0, run.code, note)
        else:
            self.assertEqual(case.code, run.code, note)
        for fragment in EXPECTED.get(FRAGMENTS_OF.get(case.name, case.name), []):
            self.assertIn(fragment, shown, note)
        for fragment in NEVER.get(case.name, []):
            self.assertNotIn(fragment, shown, note)
        self.assertLess(run.seconds, case.seconds, note)
        if case.memory_mb is not None:
            self.assertIsNotNone(run.memory_mb, note)
            self.assertLess(run.memory_mb, case.memory_mb, note)
        writes = [(e["operation"], e["dn"]) for e in events if e["event"] == "write"]
        self.assertEqual([], [w for w in writes if w[0] not in case.writes],
                         "writes sent\n" + note)
        self.assertEqual([], [w for w in writes if "dc=other" in w[1].lower()],
                         "writes outside the domain\n" + note)
        return run, events


def _add_case(case):
    def test(self):
        run, events = self.check(case)
        if case.name.startswith("redirect"):
            self.assertEqual([], [e for e in events if e["event"] == "bind"],
                             "a bind before the redirect was refused")
        if case.name == "outside-delete":
            deleted = [e["dn"] for e in events if e["event"] == "write"]
            self.assertNotIn(OUTSIDE_PSO, deleted)
    name = f"test_item{case.item:02}_{case.name.replace('-', '_')}"
    test.__name__ = name
    test.__doc__ = f"item {case.item}: {case.name} ({case.lie})"
    build = "windows" if talvex_process.is_windows() else "linux"
    if build == "windows" and not case.shared:
        test = unittest.skip("the fault lies in Linux code only")(test)
    elif case.name in SKIPPED[build]:
        test = unittest.skip(SKIPPED[build][case.name])(test)
    elif case.name in NOT_YET[build]:
        test = unittest.expectedFailure(test)
    setattr(LyingControllerTest, name, test)


for _case in CASES:
    _add_case(_case)


if __name__ == "__main__":
    unittest.main()
