"""End-to-end tests of -effective: which PSOs name a user and which policy
governs it.

Every "Effective PSO" talvex shows is cross-checked with the
msDS-ResultantPSO that ldapsearch reads for the same object.
"""

import unittest

import labtest
from labtest import LabTestCase, SUCCESS_TAIL, USAGE_HINT

PREFIX = "e2eeff-"


class EffectiveTest(LabTestCase):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.ou = "OU=e2e-effective," + cls.base_dn
        cls.two = "CN=e2eeff-two," + cls.ou
        cls.none = "CN=e2eeff-none," + cls.ou
        cls.member = "CN=e2eeff-member," + cls.ou
        cls.group = "CN=e2eeff-group," + cls.ou
        cls.computer = "CN=E2EEFFWKS," + cls.ou
        cls.contact = "CN=e2eeff-contact," + cls.ou
        # One account's name is the other's principal name: the value
        # matches both. (Samba refuses a UPN of the form <name>@<realm> whose
        # <name> is another account's sAMAccountName, so the UPN names
        # another suffix.)
        cls.dup_name = "e2eeff-dup@other.test"
        cls.dup_account = "CN=e2eeff-dupa," + cls.ou
        cls.dup_upn = "CN=e2eeff-dupb," + cls.ou
        cls.a, cls.b = cls.pso_dn(PREFIX + "a"), cls.pso_dn(PREFIX + "b")
        cls.own_objects((cls.a, cls.b))
        labtest.add_ldif(
            labtest.ou_entry(cls.ou)
            + labtest.user_entry(cls.two, "e2eeff-two", "e2eeff-two@" + cls.domain)
            + labtest.user_entry(cls.none, "e2eeff-none", "e2eeff-none@" + cls.domain)
            + labtest.user_entry(cls.member, "e2eeff-member")
            + labtest.group_entry(cls.group, "e2eeff-group", [cls.member])
            + labtest.computer_entry(cls.computer, "E2EEFFWKS$")
            + labtest.contact_entry(cls.contact, "e2eeff-contact")
            + labtest.user_entry(cls.dup_account, cls.dup_name)
            + labtest.user_entry(cls.dup_upn, "e2eeff-dupb", cls.dup_name)
            + labtest.pso_entry(cls.a, 801, applies_to=[cls.two, cls.group], minlen=11)
            + labtest.pso_entry(cls.b, 800, applies_to=[cls.two], minlen=13))

    def resultant(self, dn):
        entry = labtest.read_entry(dn, ["msDS-ResultantPSO"])
        values = labtest.attribute(entry, "msDS-ResultantPSO")
        return values[0] if values else ""

    def applied(self, dn):
        entry = labtest.read_entry(dn, ["msDS-PSOApplied"])
        return labtest.attribute(entry, "msDS-PSOApplied")

    def expected(self, dn, account, upn, dn_only=False):
        """The whole answer, from an independent read of the object."""
        text = self.using_host + f"\nUser: {account} | {upn} | {dn}\nApplied PSOs:\n"
        applied = self.applied(dn)
        text += "".join(f"  {pso}\n" for pso in applied) if applied else "  NONE \n"
        resultant = self.resultant(dn)
        if resultant:
            text += f"Effective PSO: {resultant}\n"
            if not dn_only:
                text += labtest.read_pso(resultant).block() + "\n"
        elif dn_only:
            text += "Effective PSO: Domain Policy\n"
        else:
            policy = labtest.read_domain_policy(self.base_dn)
            text += f"Effective PSO: Domain Policy {self.domain}\n" + policy.block() + "\n"
        return text + SUCCESS_TAIL

    def refused(self, message, closed=True):
        return (self.using_host + "\nERROR:\nERROR: " + message + "\n"
                + ("ERROR:\n" if closed else "") + USAGE_HINT)

    # ---- answers -------------------------------------------------------------------

    def test_plain_user_is_told_the_psos_cannot_be_read(self):
        # The seeded users are plain domain users: PSOs are hidden from
        # them while msDS-ResultantPSO and msDS-PSOApplied still name them.
        # Never "NONE" or a policy of zeros as if that were the answer.
        env = labtest.require_lab()
        bind = ["-u", "bob@" + self.domain, "-up", env["LAB_USER_PASSWORD"], "-simple"]
        for dn, account in ((self.two, "e2eeff-two"), (self.member, "e2eeff-member")):
            with self.subTest(account=account):
                upn = "e2eeff-two@" + self.domain if dn == self.two else ""
                applied = self.applied(dn)
                resultant = self.resultant(dn)
                text = self.using_host + f"\nUser: {account} | {upn} | {dn}\nApplied PSOs:\n"
                text += ("".join(f"  {pso}\n" for pso in applied) if applied else
                         "  UNKNOWN (PSOs cannot be read with the rights of this account)\n")
                text += f"Effective PSO: {resultant}\n"
                hidden = [resultant] + [p for p in applied if p.lower() != resultant.lower()]
                text += ("WARN:\n"
                         "WARN: The account of this bind lacks the rights to read these PSOs"
                         " (PSOs are readable\n"
                         "WARN: by domain administrators only), so the PSOs that apply and"
                         " the effective policy\n"
                         "WARN: cannot be shown in full:\n"
                         + "".join(f"WARN:   {p}\n" for p in hidden) + "WARN:\n")
                self.assertRun(["-q", "-effective", account] + bind, text + SUCCESS_TAIL)

    def test_user_named_by_two_psos_shows_both_and_the_winner(self):
        out, _ = self.assertRun(["-q", "-effective", "e2eeff-two"],
                                self.expected(self.two, "e2eeff-two",
                                              "e2eeff-two@" + self.domain))
        self.assertEqual(self.b, self.resultant(self.two))
        self.assertIn(f"\nEffective PSO: {self.b}\n", out)
        self.assertIn(f"\n  {self.a}\n", out)
        self.assertIn(f"\n  {self.b}\n", out)
        self.assertIn("\n    Min Pwd Length     : 13\n", out)

    def test_user_without_pso_gets_the_domain_policy(self):
        out, _ = self.assertRun(["-q", "-effective", "e2eeff-none@" + self.domain],
                                self.expected(self.none, "e2eeff-none",
                                              "e2eeff-none@" + self.domain))
        self.assertEqual("", self.resultant(self.none))
        self.assertIn("\nApplied PSOs:\n  NONE \nEffective PSO: Domain Policy "
                      + self.domain + "\n    Type               : Domain Policy\n", out)

    def test_dn_form_reads_no_policy(self):
        self.assertRun(["-q", "-effective", "e2eeff-none", "-dn"],
                       self.expected(self.none, "e2eeff-none", "e2eeff-none@" + self.domain,
                                     dn_only=True))
        self.assertRun(["-q", "-effective", "e2eeff-two", "-dn"],
                       self.expected(self.two, "e2eeff-two", "e2eeff-two@" + self.domain,
                                     dn_only=True))

    def test_user_governed_through_a_group(self):
        out, _ = self.assertRun(["-q", "-effective", "e2eeff-member"],
                                self.expected(self.member, "e2eeff-member", ""))
        self.assertEqual(self.a, self.resultant(self.member))
        self.assertIn(f"Applied PSOs:\n  NONE \nEffective PSO: {self.a}\n", out)
        self.assertIn("User: e2eeff-member |  | ", out)

    def test_user_by_dn_in_any_letter_case_of_dc(self):
        for value in (self.two, self.two.replace("DC=", "dc="), self.two.replace("DC=", "Dc=")):
            with self.subTest(value=value):
                self.assertRun(["-q", "-effective", value],
                               self.expected(self.two, "e2eeff-two",
                                             "e2eeff-two@" + self.domain))

    def test_computer_account_is_accepted(self):
        self.assertRun(["-q", "-effective", "E2EEFFWKS$"],
                       self.expected(self.computer, "E2EEFFWKS$", ""))

    # ---- refusals -----------------------------------------------------------------

    def test_group_and_contact_are_not_user_type_objects(self):
        for value in ("e2eeff-group", self.contact):
            with self.subTest(value=value):
                self.assertRun(["-q", "-effective", value],
                               self.refused("Object isn't a user type object."), code=1)

    def test_two_matches_refused(self):
        self.assertRun(["-q", "-effective", self.dup_name],
                       self.refused("More than one object matched, use better criteria "
                                    "or specify DN.", closed=False), code=1)

    def test_no_match(self):
        self.assertRun(["-q", "-effective", "e2eeff-nobody"],
                       self.refused("No objects matched."), code=1)

    def test_asterisk_is_not_a_wildcard(self):
        # Escaped, "*" names an account called "*": there is none.
        for value in ("*", "e2eeff-t*"):
            with self.subTest(value=value):
                self.assertRun(["-q", "-effective", value],
                               self.refused("No objects matched."), code=1)


if __name__ == "__main__":
    unittest.main()
