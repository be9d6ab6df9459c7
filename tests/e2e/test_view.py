"""End-to-end tests of -view against the lab domain controller.

Each test runs talvex inside the lab namespace and compares its whole
standard output, standard error and exit code with what the directory, read
back independently with ldapsearch, says it should show. The PSOs and the
group made here are the tests' own and are removed afterwards.
"""

import unittest

import labtest
from labtest import EMPTY_VIEW, LabTestCase, SUCCESS_TAIL, listing

PREFIX = "e2eview-"


class ViewTest(LabTestCase):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.ou = "OU=e2e-view," + cls.base_dn
        cls.group = "CN=e2eview-group," + cls.ou
        cls.a, cls.b, cls.c = (cls.pso_dn(PREFIX + x) for x in "abc")
        cls.own_objects((cls.a, cls.b, cls.c))
        labtest.add_ldif(
            labtest.ou_entry(cls.ou)
            + labtest.group_entry(cls.group, "e2eview-group")
            + labtest.pso_entry(cls.a, 502, display_name="E2E View Alpha",
                                admin_name="e2eview-admin-alpha")
            + labtest.pso_entry(cls.b, 503, applies_to=[cls.group], threshold=7, duration=15,
                                window=10)
            + labtest.pso_entry(cls.c, 501, minlen=12, history=3, complexity=False,
                                reversible=True, minage=2, maxage=45, threshold=4, duration=20,
                                window=25))

    def psos(self, *dns):
        return [labtest.read_pso(dn) for dn in dns]

    def expect_psos(self, args, policies, **form):
        body = listing(policies, **form) if policies else EMPTY_VIEW
        self.assertRun(["-q", "-view"] + args,
                       self.using_host + "Retrieving PSOs...\n" + body + SUCCESS_TAIL)

    # ---- selection -------------------------------------------------------------

    def test_one_pso_by_name_shows_every_setting(self):
        # Written out in full, so that a conversion fault shared by talvex
        # and the helper that reads the directory cannot hide.
        block = (
            "    Type               : Policy Settings Object\n"
            "    Domain             : corp.example.com\n"
            "    Policy Precedence  : 501\n"
            f"    DN                 : {self.c}\n"
            "    Name               : e2eview-c\n"
            "    Canonical Name     : corp.example.com/System/Password Settings Container/e2eview-c\n"
            "    Display Name       : e2eview-c\n"
            "    Lockout Threshold  : 4\n"
            "    Lockout Duration   : 20\n"
            "    Lockout Observation: 25\n"
            "    Min Pwd Age        : 2\n"
            "    Max Pwd Age        : 45\n"
            "    Min Pwd Length     : 12\n"
            "    Pwd History        : 3\n"
            "    Pwd Complexity     : FALSE\n"
            "    Pwd Reversible     : TRUE\n")
        self.assertRun(["-q", "-view", "-pso", PREFIX + "c"],
                       self.using_host + "Retrieving PSOs...\n"
                       "\nPolicy Listing\n--------------\n  Policy #1\n" + block + "\n"
                       + SUCCESS_TAIL)

    def test_pso_by_display_name_and_admin_display_name(self):
        self.expect_psos(["-pso", "E2E View Alpha"], self.psos(self.a))
        self.expect_psos(["-pso", "e2eview-admin-alpha"], self.psos(self.a))

    def test_pso_by_dn_in_any_letter_case_of_dc(self):
        for dn in (self.b, self.b.replace("DC=", "dc="), self.b.replace("DC=", "Dc=")):
            with self.subTest(dn=dn):
                self.expect_psos(["-pso", dn], self.psos(self.b))

    def test_pso_by_dn_is_matched_literally(self):
        # A "*" in a DN is part of a name, not a wildcard.
        star = self.pso_dn("e2eviewstar*1")
        labtest.delete_if_present(star)
        labtest.add_ldif(labtest.pso_entry(star, 504))
        try:
            self.expect_psos(["-pso", star], self.psos(star))
            self.expect_psos(["-pso", self.pso_dn("e2eviewstar*")], [])
        finally:
            labtest.delete_if_present(star)

    def test_wildcard_lists_in_canonical_name_order(self):
        self.expect_psos(["-pso", PREFIX + "*"], self.psos(self.a, self.b, self.c))

    def test_sort_precedence(self):
        for args in (["-sort", "precedence"], ["-sort", "PRECEDENCE"]):
            with self.subTest(args=args):
                self.expect_psos(["-pso", PREFIX + "*"] + args,
                                 self.psos(self.c, self.a, self.b))
        # Any other value keeps the default order, silently.
        self.expect_psos(["-pso", PREFIX + "*", "-sort", "name"],
                         self.psos(self.a, self.b, self.c))

    def test_used_and_unused(self):
        self.expect_psos(["-pso", PREFIX + "*", "-used"], self.psos(self.b))
        self.expect_psos(["-pso", PREFIX + "*", "-unused"], self.psos(self.a, self.c))

    def test_filter_characters_in_a_name_do_not_widen_the_selection(self):
        self.expect_psos(["-pso", PREFIX + "a)(objectClass=*"], [])

    def test_empty_view(self):
        self.expect_psos(["-pso", PREFIX + "nothing-by-this-name"], [])

    # ---- output forms ----------------------------------------------------------

    def test_dn_only(self):
        self.expect_psos(["-pso", PREFIX + "*", "-dn"], self.psos(self.a, self.b, self.c),
                         dn_only=True)

    def test_dn_with_precedence_sorts_by_precedence(self):
        out, _ = self.assertRun(
            ["-q", "-view", "-pso", PREFIX + "*", "-dnprec"],
            self.using_host + "Retrieving PSOs...\n"
            + listing(self.psos(self.c, self.a, self.b), dn_with_precedence=True)
            + SUCCESS_TAIL)
        # Four blanks, "(501)" and nine more blanks fill the 14-character field.
        self.assertIn("\n    (501)         " + self.c + "\n", out)

    def test_domain_policy_precedence_fills_the_field(self):
        out, _, code = self.talvex("-q", "-view", "-dompol", "-dnprec")
        self.assertEqual(0, code)
        self.assertIn("\n    (2147483647)  " + self.base_dn + "\n", out)

    # ---- domain policy and both kinds --------------------------------------------

    def test_domain_policy(self):
        policy = labtest.read_domain_policy(self.base_dn)
        self.assertRun(["-q", "-view", "-dompol"],
                       self.using_host + "Retrieving Domain Policy...\n"
                       + listing([policy]) + SUCCESS_TAIL)

    def test_all_policies_domain_policy_first(self):
        # Read right before the run: other PSOs of the lab are listed too.
        policies = [labtest.read_domain_policy(self.base_dn)]
        policies += [labtest.read_pso(dn) for dn in labtest.pso_dns()]
        self.assertRun(["-q", "-view", "-allpwdpols"],
                       self.using_host + "Retrieving Domain Policy...\nRetrieving PSOs...\n"
                       + listing(labtest.default_order(policies)) + SUCCESS_TAIL)

    def test_both_sorted_by_precedence_domain_policy_last(self):
        policies = [labtest.read_domain_policy(self.base_dn)] + self.psos(self.a, self.b,
                                                                        self.c)
        self.assertRun(["-q", "-view", "-dompol", "-pso", PREFIX + "*", "-dnprec"],
                       self.using_host + "Retrieving Domain Policy...\nRetrieving PSOs...\n"
                       + listing(labtest.precedence_order(policies),
                                 dn_with_precedence=True) + SUCCESS_TAIL)

    # ---- domains and hosts ---------------------------------------------------------

    def test_all_domains_in_a_one_domain_forest_uses_no_global_catalog(self):
        out, _ = self.assertRun(
            ["-q", "-view", "-pso", PREFIX + "*", "-alldoms"],
            self.using_host + "Retrieving PSOs...\n"
            + listing(self.psos(self.a, self.b, self.c)) + SUCCESS_TAIL)
        self.assertNotIn("Using GC", out)

    # Windows' DsGetDcNameW says 1355 for a domain it cannot find. Wine's
    # asks DNS only and passes DNS's answer on (9003, a name error, for which
    # Wine has no text), so under Wine a flat name is not found either.
    def locator_failure(self):
        if labtest.on_windows():
            return ("ERROR:\nERROR: DsGetDcName (9003) Unknown Error\nERROR:\n", "", 9003 % 256)
        return ("ERROR:\nERROR: DsGetDcName (1355) The specified domain either does "
                "not exist or could not be contacted.\nERROR:\n", "", 1355 % 256)

    def test_domain_by_dns_and_flat_name(self):
        for domain in (self.domain, self.netbios, self.domain.upper()):
            with self.subTest(domain=domain):
                if domain == self.netbios and labtest.on_windows():
                    self.assertEqual(self.locator_failure(),
                                     self.talvex("-q", "-view", "-pso", "-domain", domain))
                    continue
                self.expect_psos(["-pso", PREFIX + "c", "-domain", domain],
                                 self.psos(self.c))

    # The LDAP library's own default server (ldap.conf, here its LDAPURI
    # environment form) is never where a run goes: a DN is reached through a
    # located controller, and an unknown domain ends the run.
    LIBRARY_DEFAULT = {"LDAPURI": "ldap://dc1.corp.example.com"}

    def test_domain_as_dn_reaches_the_directory_through_this_machines_controller(self):
        for dn in (self.base_dn, self.base_dn.lower()):
            with self.subTest(dn=dn):
                self.expect_psos(["-pso", PREFIX + "c", "-domain", dn], self.psos(self.c))

    def test_unknown_domain_ends_with_the_locators_error(self):
        for domain in ("nosuch.example.org", "NOSUCH", self.domain.replace("example", "exmple")):
            with self.subTest(domain=domain):
                out, err, code = self.talvex("-q", "-mod", "::::::3:10:20", "-dompol",
                                             "-forreal", "-domain", domain,
                                             env=self.LIBRARY_DEFAULT)
                self.assertEqual(self.locator_failure(), (out, err, code))

    def test_host_names_the_computer_the_locator_asks(self):
        for host in ("dc1", self.dc_host, self.env["LAB_DC_IP"]):
            with self.subTest(host=host):
                self.expect_psos(["-pso", PREFIX + "c", "-h", host], self.psos(self.c))

    # ---- optional output -------------------------------------------------------------

    def test_verbose_shows_the_validation_lines(self):
        out, err, code = self.talvex("-q", "-v", "-view", "-pso", PREFIX + "c")
        self.assertEqual(0, code, err)
        self.assertIn("Retrieving forest domain list...\n"
                      "Performing validation tests...\n"
                      "  ADAM/ADLDS Test: Passed.\n"
                      "  View/Export Mode Override.\n"
                      "Retrieving PSOs...\n", out)
        self.assertTrue(out.endswith(listing(self.psos(self.c)) + SUCCESS_TAIL), out)

    def test_without_verbose_no_validation_lines(self):
        out, _, _ = self.talvex("-q", "-view", "-pso", PREFIX + "c")
        self.assertNotIn("validation", out)
        self.assertNotIn("Passed.", out)

    def test_debug_shows_the_server_facts_and_domain_list(self):
        out, err, code = self.talvex("-q", "-d", "-view", "-pso", PREFIX + "c")
        self.assertEqual(0, code, err)
        for line in ("DEBUG: Host: " + self.dc_host, "DEBUG: DCMode : 4",
                     "DEBUG: DomMode: 4", "DEBUG: ForMode: 4", "DEBUG: ADAM : FALSE",
                     "DEBUG: GC   : TRUE", "DEBUG: RODC : FALSE",
                     "Domain: " + self.base_dn, "DEBUG: Operation: View - 32"):
            self.assertIn("\n" + line + "\n", out)

    def test_banner_unless_quiet(self):
        out, _, code = self.talvex("-view", "-pso", PREFIX + "c")
        self.assertEqual(0, code)
        banner, rest = out.split("\n\n", 2)[0:2]
        self.assertRegex(banner, r"^\nTalvex V01\.00\.00cpp .* April 2007$")
        self.assertTrue(rest.startswith(self.using_host.rstrip("\n")), out)


if __name__ == "__main__":
    unittest.main()
