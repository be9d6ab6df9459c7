"""End-to-end tests of -applyto, -unapplyto and -clearapplied.

The tests work on PSOs, users and a group of their own; every test starts
from a PSO that applies to nothing, and what talvex changed (or, without
-forreal, did not change) is read back with ldapsearch.
"""

import unittest

import labtest
from labtest import LabTestCase, NOT_FOR_REAL, SUCCESS_TAIL, USAGE_HINT

PREFIX = "e2emem-"
BANNER = labtest.text(NOT_FOR_REAL)


class MembershipTest(LabTestCase):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.ou = "OU=e2e-member," + cls.base_dn
        cls.user = "CN=e2emem-user," + cls.ou
        cls.plain = "CN=e2emem-plain," + cls.ou
        cls.group = "CN=e2emem-group," + cls.ou
        cls.pso, cls.other = cls.pso_dn(PREFIX + "pso"), cls.pso_dn(PREFIX + "other")
        cls.own_objects((cls.pso, cls.other))
        labtest.add_ldif(
            labtest.ou_entry(cls.ou)
            + labtest.user_entry(cls.user, "e2emem-user", "e2emem-user@" + cls.domain)
            + labtest.user_entry(cls.plain, "e2emem-plain")
            + labtest.group_entry(cls.group, "e2emem-group", [cls.plain])
            + labtest.pso_entry(cls.pso, 700) + labtest.pso_entry(cls.other, 701))
        cls.head = cls.using_host + "Retrieving PSOs...\n"

    def setUp(self):
        self.set_members([])

    def set_members(self, dns):
        labtest.set_values(self.pso, "msDS-PSOAppliesTo", dns)

    def members(self):
        entry = labtest.read_entry(self.pso, ["msDS-PSOAppliesTo"])
        return sorted(v.lower() for v in labtest.attribute(entry, "msDS-PSOAppliesTo"))

    def applied(self, target):
        return (self.head + f"Applying PSO {self.pso}\nto object {target}\n"
                "PSO successfully updated.\n\n" + SUCCESS_TAIL)

    # ---- apply and unapply -------------------------------------------------------

    def test_apply_by_account_name(self):
        self.assertRun(["-q", "-pso", PREFIX + "pso", "-applyto", "e2emem-user", "-forreal"],
                       self.applied(self.user))
        self.assertEqual([self.user.lower()], self.members())

    def test_apply_by_user_principal_name(self):
        self.assertRun(["-q", "-pso", PREFIX + "pso", "-applyto",
                        "e2emem-user@" + self.domain, "-forreal"],
                       self.applied(self.user))
        self.assertEqual([self.user.lower()], self.members())

    def test_apply_by_dn_in_any_letter_case_of_dc(self):
        for target in (self.group, self.group.replace("DC=", "dc="),
                       self.group.replace("DC=", "dC=")):
            with self.subTest(target=target):
                self.set_members([])
                out, err, code = self.talvex("-q", "-pso", PREFIX + "pso",
                                             "-applyto", target, "-forreal")
                self.assertEqual(0, code, out + err)
                self.assertIn(f"Applying PSO {self.pso}\nto object ", out)
                self.assertEqual([self.group.lower()], self.members())

    def test_unapply(self):
        self.set_members([self.user, self.group])
        self.assertRun(["-q", "-pso", PREFIX + "pso", "-unapplyto", "e2emem-user", "-forreal"],
                       self.applied(self.user))
        self.assertEqual([self.group.lower()], self.members())

    def test_unapply_of_an_object_the_pso_does_not_name_ends_with_the_servers_code(self):
        usn = labtest.highest_committed_usn()
        out, err, code = self.talvex("-q", "-pso", PREFIX + "pso", "-unapplyto",
                                     "e2emem-plain", "-forreal")
        self.assertEqual(self.head + f"Applying PSO {self.pso}\nto object {self.plain}\n"
                         "\nThe command did not complete successfully.\n\n", out)
        prefix = f"ERROR: ldap_modify_s ({self.pso}): : [{self.dc_host}] Error 0x"
        self.assertTrue(err.startswith(prefix), err)
        self.assertIn(f" ({code}) - ", err.splitlines()[0])
        self.assertNotEqual(0, code)
        self.assertRegex(err.splitlines()[1], r"^Extended Error: ")
        self.assertEqual(usn, labtest.highest_committed_usn())

    def test_dry_runs_change_nothing(self):
        self.set_members([self.group])
        usn = labtest.highest_committed_usn()
        dry = (self.head + "\n" + BANNER + "Modification to make had this been for real.\n"
               f"  {self.pso}\n\n" + SUCCESS_TAIL)
        self.assertRun(["-q", "-pso", PREFIX + "pso", "-applyto", "e2emem-user"], dry)
        self.assertRun(["-q", "-pso", PREFIX + "pso", "-unapplyto", "e2emem-group"], dry)
        self.assertRun(["-q", "-pso", PREFIX + "pso", "-clearapplied"],
                       self.head + "\n" + BANNER
                       + "PSO to have clear applied to members from had this been for real.\n"
                       f"  {self.pso}\n\n" + SUCCESS_TAIL)
        self.assertEqual(usn, labtest.highest_committed_usn())
        self.assertEqual([self.group.lower()], self.members())

    # ---- refusals ------------------------------------------------------------------

    def invalid_object(self, value):
        return (self.head + "ERROR:\nERROR: Invalid object for this PSO. (" + value + ")\n"
                "ERROR:\n" + USAGE_HINT)

    def test_unknown_object(self):
        self.assertRun(["-q", "-pso", PREFIX + "pso", "-applyto", "e2emem-nobody", "-forreal"],
                       self.invalid_object("e2emem-nobody"), code=1)
        self.assertEqual([], self.members())

    def test_asterisk_names_no_object(self):
        # "*" is an account name to look for, not a wildcard: it must not
        # apply the PSO to whatever object the server returns first.
        usn = labtest.highest_committed_usn()
        for value in ("*", "e2emem-u*", "*)(objectClass=*"):
            with self.subTest(value=value):
                self.assertRun(["-q", "-pso", PREFIX + "pso", "-applyto", value, "-forreal"],
                               self.invalid_object(value), code=1)
        self.assertEqual(usn, labtest.highest_committed_usn())
        self.assertEqual([], self.members())

    def test_objects_a_pso_cannot_govern_are_refused_but_can_be_unapplied(self):
        # The seeded computer and contact, an OU, the domain head, another
        # PSO: the directory takes such links, a PSO governs none of them.
        computer = "CN=WKS01," + self.staff_dn
        cases = [("WKS01$", "computer"), ("CN=Ext Contact," + self.staff_dn, "contact"),
                 (self.staff_dn, "organizationalUnit"), (self.base_dn, "domainDNS"),
                 (self.other, "msDS-PasswordSettings")]
        usn = labtest.highest_committed_usn()
        for value, shown in cases:
            for real in ([], ["-forreal"]):
                with self.subTest(value=value, real=real):
                    self.assertRun(["-q", "-pso", PREFIX + "pso", "-applyto", value] + real,
                                   self.head + "ERROR:\nERROR: Invalid object for this PSO. ("
                                   + value + ")\nERROR: The object is of class " + shown +
                                   "; a PSO applies only to users (including inetOrgPerson)"
                                   " and groups.\nERROR:\n" + USAGE_HINT, code=1)
        self.assertEqual(usn, labtest.highest_committed_usn())
        # A link written by another tool is removed.
        self.set_members([computer])
        self.assertRun(["-q", "-pso", PREFIX + "pso", "-unapplyto", "WKS01$", "-forreal"],
                       self.head + f"Applying PSO {self.pso}\nto object {computer}\n"
                       "PSO successfully updated.\n\n" + SUCCESS_TAIL)
        self.assertEqual([], self.members())

    def test_several_psos_refused_before_any_change(self):
        usn = labtest.highest_committed_usn()
        self.assertRun(["-q", "-pso", PREFIX + "*", "-applyto", "e2emem-user", "-forreal"],
                       self.head + "ERROR:\n"
                       "ERROR: Can only apply a single PSO to an object at a time.\n"
                       "ERROR: 2 PSOs returned with specified criteria.\nERROR:\n"
                       + USAGE_HINT, code=1)
        self.assertRun(["-q", "-pso", PREFIX + "*", "-clearapplied", "-forreal"],
                       self.head + "ERROR:\nERROR: -clearapplied only allowed on single PSO.\n"
                       "ERROR: More specifically specify a PSO - use DN\nERROR:\n"
                       + USAGE_HINT, code=1)
        self.assertEqual(usn, labtest.highest_committed_usn())

    def test_no_pso_selected(self):
        for action in (["-applyto", "e2emem-user"], ["-clearapplied"]):
            with self.subTest(action=action):
                self.assertRun(["-q", "-pso", PREFIX + "nothing"] + action + ["-forreal"],
                               self.head + "\nNo PSO found matching specified criteria.\n\n"
                               + SUCCESS_TAIL)

    # ---- clear -------------------------------------------------------------------

    def test_clear(self):
        self.set_members([self.user, self.group])
        self.assertRun(["-q", "-pso", PREFIX + "pso", "-clearapplied", "-forreal"],
                       self.head + f"Clearing PSO {self.pso}\nPSO successfully updated.\n\n"
                       + SUCCESS_TAIL)
        self.assertEqual([], self.members())

    def test_clear_of_a_pso_without_members_succeeds(self):
        self.assertRun(["-q", "-pso", PREFIX + "pso", "-clearapplied", "-forreal"],
                       self.head + f"Clearing PSO {self.pso}\nPSO successfully updated.\n\n"
                       + SUCCESS_TAIL)


if __name__ == "__main__":
    unittest.main()
