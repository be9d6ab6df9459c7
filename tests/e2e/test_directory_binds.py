"""Binds and controller location of the built talvex against the lab DC.

Every kind of bind the tool offers (simple by DN, UPN and DOMAIN\\user;
negotiated with the process's ticket cache or with -u/-up and no cache at
all), the bind failure report, and the locator's answers as the run prints
them. talvex runs inside the lab namespace through lab/exec.sh.

Standard library only.
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import labtest

NO_CACHE = {"KRB5CCNAME": "FILE:/nonexistent/talvex-no-ticket-cache"}
# A read that needs a bound connection and changes nothing.
VIEW = ("-q", "-view", "-dompol")


class DirectoryBindTest(labtest.LabTestCase):

    def assertSucceeds(self, args, env=None):
        out, err, code = self.talvex(*args, env=env)
        self.assertEqual((code, err), (0, ""), out)
        self.assertTrue(out.startswith(self.using_host), out)
        self.assertIn("Domain Policy", out)
        return out

    def test_simple_bind_by_dn_upn_and_domain_user(self):
        password = self.env["LAB_ADMIN_PASSWORD"]
        for user in (f"CN=Administrator,CN=Users,{self.env['LAB_BASE_DN']}",
                     f"Administrator@{self.env['LAB_DOMAIN']}",
                     f"{self.env['LAB_NETBIOS']}\\Administrator"):
            with self.subTest(user=user):
                self.assertSucceeds(VIEW + ("-u", user, "-up", password, "-simple"),
                                    env=NO_CACHE)

    def test_negotiated_bind_with_the_ticket_cache(self):
        self.assertSucceeds(VIEW)

    def test_negotiated_bind_with_password_needs_no_ticket_cache(self):
        password = self.env["LAB_USER_PASSWORD"]
        for user in (f"{self.env['LAB_NETBIOS']}\\alice", f"alice@{self.env['LAB_DOMAIN']}"):
            with self.subTest(user=user):
                self.assertSucceeds(VIEW + ("-u", user, "-up", password), env=NO_CACHE)

    def test_negotiated_bind_without_ticket_or_password_fails_with_the_gssapi_text(self):
        out, err, code = self.talvex(*VIEW, env=NO_CACHE)
        self.assertEqual(254, code)  # -2, local error
        self.assertRegex(
            err, r"^LDAP_BIND: \[" + re.escape(self.dc_host) +
            r"\] Error 0xfffffffe \(-2\) - Local error\n"
            r"Extended Error: SASL\(-1\): generic failure: GSSAPI Error: .*"
            r"No Kerberos credentials available.*\n$")
        self.assertEqual(self.using_host + "\nThe command did not complete successfully.\n",
                         out)

    def test_wrong_password_simple_bind_reports_the_servers_text(self):
        out, err, code = self.talvex(*VIEW, "-u", f"Administrator@{self.env['LAB_DOMAIN']}",
                                     "-up", "wrong", "-simple")
        self.assertEqual(49, code)
        self.assertRegex(
            err, r"^LDAP_BIND: \[" + re.escape(self.dc_host) +
            r"\] Error 0x31 \(49\) - Invalid credentials\n"
            r"Extended Error: 80090308: LdapErr: DSID-[0-9A-F]+, comment: "
            r"AcceptSecurityContext error, data 52e, v[0-9a-f]+\n$")
        self.assertEqual(self.using_host + "\nThe command did not complete successfully.\n",
                         out)

    def test_wrong_password_negotiated_bind_reports_the_kerberos_text(self):
        # Administrator: no lockout applies to it, however often this runs.
        out, err, code = self.talvex(*VIEW, "-u", f"{self.env['LAB_NETBIOS']}\\Administrator",
                                     "-up", "wrong", env=NO_CACHE)
        self.assertEqual(49, code)
        self.assertEqual(
            f"LDAP_BIND: [{self.dc_host}] Error 0x31 (49) - Invalid credentials\n"
            "Extended Error: Preauthentication failed (getting an initial ticket for "
            f"Administrator@{self.env['LAB_REALM']})\n", err)
        self.assertNotIn("wrong", out + err.replace("Preauthentication", ""))

    def test_cancelled_password_prompt_ends_the_run_without_a_bind(self):
        # Standard input at its end cancels the prompt. A Kerberos bind with
        # an empty password would count a failed pre-authentication against
        # the account (toward its lockout) and report error 49: no report, and
        # badPwdCount stays as it was (Samba counts only under a lockout
        # threshold, which the lab's domain policy does not set).
        bob = f"CN=bob,{self.env['LAB_STAFF_DN']}"
        before = labtest.read_entry(bob, ["badPwdCount"])
        out, err, code = self.talvex(*VIEW, "-u", f"{self.env['LAB_NETBIOS']}\\bob", "-up", "*",
                                     env=NO_CACHE, stdin="")
        self.assertEqual((code, err), (1223 & 0xFF, ""), out)
        self.assertEqual("Enter Password: \n\nThe command did not complete successfully.\n\n",
                         out)
        self.assertEqual(labtest.attribute(before, "badPwdCount"),
                         labtest.attribute(labtest.read_entry(bob, ["badPwdCount"]),
                                           "badPwdCount"))

    def test_locator_answers_for_a_flat_domain_and_a_host_that_does_not_answer(self):
        self.assertSucceeds(VIEW + ("-domain", self.env["LAB_NETBIOS"]))
        # A computer that does not answer the ping: the run ends with the
        # locator's error (1722, exit 1722 % 256) before any connection,
        # instead of going to a controller nobody named.
        started = time.monotonic()
        out, err, code = self.talvex(*VIEW, "-h", "10.99.0.99")
        self.assertLess(time.monotonic() - started, 10)
        self.assertEqual((out, err, code),
                         ("ERROR:\nERROR: DsGetDcName (1722) The RPC server is unavailable.\n"
                          "ERROR:\n", "", 1722 % 256))


NO_CONTROLLER = ("ERROR:\nERROR: DsGetDcName (1355) The specified domain either does not "
                 "exist or could not be contacted.\nERROR:\n")


class NoControllerTest(unittest.TestCase):
    """A machine whose DNS server drops the locator's queries: talvex runs in
    a network and mount namespace of its own (loopback only, a resolv.conf
    of its own), so neither the lab nor anyone's resolver is touched."""

    def test_no_controller_found_ends_the_run_and_never_means_localhost(self):
        if os.geteuid() != 0 or shutil.which("unshare") is None:
            self.skipTest("needs root and unshare")
        with tempfile.TemporaryDirectory() as work:
            with open(os.path.join(work, "resolv.conf"), "w") as f:
                f.write("nameserver 127.0.0.1\nsearch corp.example.com\n"
                        "options timeout:1 attempts:1\n")
            # A machine joined to the domain: its Kerberos realm names it.
            krb5 = os.path.join(work, "krb5.conf")
            with open(krb5, "w") as f:
                f.write("[libdefaults]\n default_realm = CORP.EXAMPLE.COM\n")
            helper = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                  "dropping_dns.py")
            command = ["unshare", "-n", "-m", sys.executable, helper, work, "env",
                       "-u", "LDAPURI", "-u", "LDAPHOST", f"KRB5_CONFIG={krb5}",
                       labtest.talvex_binary(), "-q", "-view", "-pso", "-u",
                       "Administrator@corp.example.com", "-up", "Secret-1", "-simple"]
            done = subprocess.run(command, capture_output=True, timeout=90)
            self.assertEqual(0, done.returncode, done.stderr)
            run = json.loads(done.stdout)
        self.assertGreater(run["dns_queries"], 0)
        self.assertEqual(0, run["ldap_connections"])
        self.assertEqual((run["out"], run["err"], run["code"]),
                         (NO_CONTROLLER, "", 1355 % 256))
        self.assertLess(run["seconds"], 30)

if __name__ == "__main__":
    unittest.main()
