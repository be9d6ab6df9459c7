"""End-to-end tests of -h with two domain controllers of the lab's domain.

They need the lab's second DC (dc2). tests/e2e/second_dc.sh adds it for
this module alone and removes it afterwards: while dc2 is registered in the
domain's DNS the locator may answer with either controller, which the other
end-to-end tests, comparing "Using host: ...\\dc1..." lines, must never
meet. Without dc2 the tests fail when CI is set and are skipped otherwise.

A PSO is written on dc2 while dc2 refuses outbound replication, so it exists
on dc2 only: what a run lists tells which controller it read, not only the
RootDSE line of its debug output.
"""

import os
import re
import subprocess
import unittest

import labtest
from labtest import EMPTY_VIEW, LabTestCase, SUCCESS_TAIL, listing, server

NAME = "e2esecond-dc2-only"


def require_second_dc(env):
    """Fails (under CI) or skips (locally) when dc2 is not up."""
    problem = None
    if "LAB_DC2_HOST" not in env:
        problem = "the lab has no second DC"
    else:
        with server("ldap://" + env["LAB_DC2_IP"]):
            try:
                labtest.ldapsearch(base="", scope="base", attributes=["dnsHostName"])
            except AssertionError as error:
                problem = f"dc2 does not answer: {error}"
    if problem is None:
        return
    message = (f"{problem} (tests/e2e/second_dc.sh adds one for these tests, "
               "lab/add_dc2.sh by hand)")
    if os.environ.get("CI"):
        raise AssertionError(message)
    raise unittest.SkipTest(message + " [skipped in a local run only]")


def samba_tool_drs_options(dsa_option):
    env = labtest.require_lab()
    done = subprocess.run(
        [os.path.join(labtest.LAB_DIR, "exec.sh"), "samba-tool", "drs", "options",
         env["LAB_DC2_HOST"], "--dsa-option=" + dsa_option, "-U", "Administrator",
         "--password=" + env["LAB_ADMIN_PASSWORD"]],
        capture_output=True, timeout=labtest.LDAP_TIMEOUT, env=labtest.lab_subprocess_env())
    if done.returncode != 0:
        raise AssertionError(f"samba-tool drs options {dsa_option} failed: "
                             f"{done.stderr.decode()}")


class SecondDcTest(LabTestCase):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        require_second_dc(cls.env)
        cls.dc2_host = cls.env["LAB_DC2_HOST"]
        cls.dc1_uri = "ldap://" + cls.env["LAB_DC_IP"]
        cls.dc2_uri = "ldap://" + cls.env["LAB_DC2_IP"]
        cls.pso = cls.pso_dn(NAME)
        # dc2 keeps its changes to itself from here on, so the PSO written
        # next never reaches dc1.
        samba_tool_drs_options("+DISABLE_OUTBOUND_REPL")
        cls.addClassCleanup(samba_tool_drs_options, "-DISABLE_OUTBOUND_REPL")
        cls.addClassCleanup(cls.remove_pso)
        cls.remove_pso()
        with server(cls.dc2_uri):
            labtest.add_ldif(labtest.pso_entry(cls.pso, 777, display_name="Second DC Only"))
            cls.dc2_pso = labtest.read_pso(cls.pso)

    @classmethod
    def remove_pso(cls):
        for uri in (cls.dc2_uri, cls.dc1_uri):
            with server(uri):
                labtest.delete_if_present(cls.pso)

    def dc1_view(self):
        return self.using_host + "Retrieving PSOs...\n" + EMPTY_VIEW + SUCCESS_TAIL

    def dc2_view(self):
        return (f"Using host: Default-First-Site-Name\\{self.dc2_host}\n"
                "Retrieving PSOs...\n" + listing([self.dc2_pso]) + SUCCESS_TAIL)

    def test_the_pso_lives_on_dc2_only(self):
        with server(self.dc1_uri):
            self.assertIsNone(labtest.read_entry(self.pso))
        with server(self.dc2_uri):
            self.assertIsNotNone(labtest.read_entry(self.pso))

    def test_host_decides_which_controller_the_run_reads(self):
        for host in ("dc1", self.dc_host, self.env["LAB_DC_IP"]):
            with self.subTest(host=host):
                self.assertRun(["-q", "-view", "-pso", NAME, "-h", host], self.dc1_view())
        for host in ("dc2", self.dc2_host, self.env["LAB_DC2_IP"]):
            with self.subTest(host=host):
                self.assertRun(["-q", "-view", "-pso", NAME, "-h", host], self.dc2_view())

    def test_second_dc_host_decides_which_controller_the_run_talks_to(self):
        for host in (self.dc_host, self.dc2_host):
            with self.subTest(host=host):
                out, err, code = self.talvex("-q", "-d", "-view", "-pso", NAME,
                                             "-h", host.split(".")[0])
                self.assertEqual(0, code, err)
                self.assertRegex(out, r"\nUsing host: [^\n]*\\" + re.escape(host) + "\n")
                # The RootDSE read comes from the controller located.
                self.assertIn("\nDEBUG: Host: " + host + "\n", out)
                other = self.dc2_host if host == self.dc_host else self.dc_host
                self.assertNotIn(other, out)

    def test_without_host_the_run_reads_the_controller_the_locator_found(self):
        # The locator may answer with either controller; whichever it is,
        # the host line, the RootDSE and the PSOs all come from it.
        for attempt in range(4):
            with self.subTest(attempt=attempt):
                out, err, code = self.talvex("-q", "-view", "-pso", NAME)
                self.assertEqual("", err)
                self.assertEqual(0, code)
                self.assertIn(out, (self.dc1_view(), self.dc2_view()))


if __name__ == "__main__":
    unittest.main()
