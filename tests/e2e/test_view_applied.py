"""End-to-end tests of -applied: the objects each PSO applies to.

The tests make their own users (with and without a user principal name),
groups (one with a member, one without), a computer and three PSOs, and
compare talvex's whole output with the membership read back by ldapsearch.
"""

import unittest

import labtest
from labtest import LabTestCase, SUCCESS_TAIL

PREFIX = "e2eapp-"
MEMBER_ATTRIBUTES = ["objectClass", "sAMAccountName", "userPrincipalName", "member",
                     "msDS-ResultantPSO"]


def member_line(dn, entry, pso_dn):
    """A member line, built from an independent read of the object."""
    resultant = labtest.attribute(entry, "msDS-ResultantPSO")
    if not resultant:
        flag = " "
    else:
        flag = "+" if resultant[0].lower() == pso_dn.lower() else "-"
    classes = labtest.attribute(entry, "objectClass")
    line = flag + ("[" + (classes[-1] if classes else "") + "]").ljust(18) + " " + dn
    account = labtest.attribute(entry, "sAMAccountName")
    if account:
        upn = labtest.attribute(entry, "userPrincipalName")
        line += "  (" + account[0] + (" | " + upn[0] if upn else "") + ")"
    if any(k.lower() == "member" or k.lower().startswith("member;") for k in entry):
        line += " ***Nesting Detected***"
    return line


class AppliedListingTest(LabTestCase):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.ou = "OU=e2e-applied," + cls.base_dn
        cls.upn_user = "CN=e2eapp-upn," + cls.ou
        cls.plain_user = "CN=e2eapp-noupn," + cls.ou
        cls.group = "CN=e2eapp-group," + cls.ou
        cls.empty_group = "CN=e2eapp-empty," + cls.ou
        cls.computer = "CN=E2EAPPWKS," + cls.ou
        cls.high, cls.low, cls.none = (cls.pso_dn(PREFIX + x) for x in ("high", "low", "none"))
        cls.own_objects((cls.high, cls.low, cls.none))
        labtest.add_ldif(
            labtest.ou_entry(cls.ou)
            + labtest.user_entry(cls.upn_user, "e2eapp-upn", "e2eapp-upn@" + cls.domain)
            + labtest.user_entry(cls.plain_user, "e2eapp-noupn")
            + labtest.group_entry(cls.group, "e2eapp-group", [cls.plain_user])
            + labtest.group_entry(cls.empty_group, "e2eapp-empty")
            + labtest.computer_entry(cls.computer, "E2EAPPWKS$")
            + labtest.pso_entry(cls.high, 600, applies_to=[cls.upn_user])
            + labtest.pso_entry(cls.low, 601, applies_to=[cls.upn_user, cls.plain_user, cls.group,
                                                          cls.empty_group, cls.computer])
            + labtest.pso_entry(cls.none, 602))

    def applied_section(self, pso_dn):
        members = labtest.ldapsearch(base=self.base_dn,
                                     filter=f"(msDS-PSOApplied={pso_dn})",
                                     attributes=MEMBER_ATTRIBUTES)
        text = "    Applied To:\n"
        if not members:
            text += "      NONE\n"
        for dn, entry in members:
            text += "      " + member_line(dn, entry, pso_dn) + "\n"
        return text + "\n"

    def expected(self, pso_dns, dn_only=False):
        return (self.using_host + "Retrieving PSOs...\n"
                + labtest.listing([labtest.read_pso(dn) for dn in pso_dns], dn_only=dn_only,
                                  after=self.applied_section) + SUCCESS_TAIL)

    def test_member_lines_show_flag_class_names_and_nesting(self):
        out, _ = self.assertRun(["-q", "-applied", "-pso", PREFIX + "low"],
                                self.expected([self.low]))
        # The same lines written out, in whatever order the server listed them.
        for line in (
                f"      -[user]             {self.upn_user}  (e2eapp-upn | e2eapp-upn@{self.domain})",
                f"      +[user]             {self.plain_user}  (e2eapp-noupn)",
                f"       [group]            {self.group}  (e2eapp-group) ***Nesting Detected***",
                f"       [group]            {self.empty_group}  (e2eapp-empty)",
                # Samba computes no resultant PSO for computer accounts.
                f"       [computer]         {self.computer}  (E2EAPPWKS$)"):
            self.assertIn("\n" + line + "\n", out)

    def test_resultant_pso_decides_the_flag(self):
        out, _ = self.assertRun(["-q", "-applied", "-pso", PREFIX + "high"],
                                self.expected([self.high]))
        self.assertIn(f"\n      +[user]             {self.upn_user}  ", out)

    def test_every_pso_with_its_members_and_none(self):
        self.assertRun(["-q", "-applied", "-pso", PREFIX + "*"],
                       self.expected([self.high, self.low, self.none]))

    def test_used_leaves_out_psos_without_members(self):
        self.assertRun(["-q", "-applied", "-pso", PREFIX + "*", "-used"],
                       self.expected([self.high, self.low]))

    def test_dn_form_keeps_the_members(self):
        self.assertRun(["-q", "-applied", "-pso", PREFIX + "*", "-dn"],
                       self.expected([self.high, self.low, self.none], dn_only=True))

    def test_many_psos_list_the_same_members_in_the_same_order(self):
        # Past twenty PSOs the members of all are read with one search; the
        # listing is the one the per-PSO searches give.
        many = [self.pso_dn(f"{PREFIX}many-{i:02}") for i in range(22)]
        for dn in many:
            labtest.delete_if_present(dn)
        labtest.add_ldif("".join(labtest.pso_entry(dn, 610 + i) for i, dn in enumerate(many)))
        try:
            self.assertRun(["-q", "-applied", "-pso", PREFIX + "*"],
                           self.expected([self.high, self.low] + many + [self.none]))
        finally:
            for dn in many:
                labtest.delete_if_present(dn)

    def test_cross_check_flags_with_resultant_pso(self):
        for user in (self.upn_user, self.plain_user):
            resultant = labtest.attribute(
                labtest.read_entry(user, ["msDS-ResultantPSO"]), "msDS-ResultantPSO")
            expected = self.high if user == self.upn_user else self.low
            self.assertEqual([expected], resultant)


if __name__ == "__main__":
    unittest.main()
