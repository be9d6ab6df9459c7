"""-mod and -rename against the lab: only the named attributes change, the
domain policy keeps its other pwdProperties bits, a refused value writes
nothing, renames land in the Password Settings Container, and a selection
of two policies is refused."""

import unittest

import labtest
from labtest import (ChangesTestCase, NOT_FOR_REAL, Policy, SUCCESS_TAIL, USAGE_HINT, attribute,
                     create_pso, domain_policy_settings, domain_policy_values, pso_dns,
                     read_entry, text, write_domain_policy)

# Attributes the server changes on every write.
BOOKKEEPING = {"usnchanged", "whenchanged"}


def comparable(entry):
    return {k.lower(): v for k, v in entry.items() if k.lower() not in BOOKKEEPING}


# A change of the domain head's settings is rewritten by the Default Domain
# Policy GPO on a Windows domain: said after the change and in the dry run.
GROUP_POLICY_WARNING = [
    "WARN:",
    "WARN: The Default Domain Policy GPO rewrites these settings at every Group Policy refresh;",
    "WARN: a change made here is reverted then. The domain password policy is kept in that GPO:",
    "WARN: change it there to make the change last.",
    "WARN:",
]


class ModifyTest(ChangesTestCase):

    def pso_display(self, dn, name, precedence, display_name=None, **settings):
        return Policy(dn, precedence, domain=self.domain, name=name,
                      canonical=f"{self.domain}/System/Password Settings Container/{name}",
                      display_name=display_name or name, **settings).lines()

    def domain_display(self, values):
        rdn = self.base_dn.split(",")[0][3:]
        return Policy(self.base_dn, labtest.DOMAIN_POLICY_PRECEDENCE, labtest.DOMAIN_POLICY_TYPE,
                      self.domain, name=rdn, canonical=self.domain + "/", display_name=rdn,
                      **domain_policy_settings(values)).lines()

    def test_lockout_values_alone_change_and_are_shown(self):
        settings = dict(threshold=0, duration=30, window=30, maxage=50, minage=1, minlen=9,
                        history=4, complexity=False)
        dn = create_pso(self.made("tvxchg-mod-lock"), 720, **settings)
        before = read_entry(dn, ["*"])

        out, _ = self.talvex_writing_nothing("-mod", "::::::3:20:10", "-pso", "tvxchg-mod-lock")
        self.assertEqual(text([self.host_line, "Retrieving PSOs...", ""] + NOT_FOR_REAL + [
            "DN to be modified had this been for real.", f"  {dn}", "",
            f"Current Policy Settings - {dn}"] +
            self.pso_display(dn, "tvxchg-mod-lock", 720, **settings) + [""]) + SUCCESS_TAIL, out)

        out, err, rc = self.talvex("-mod", "::::::3:20:10", "-pso", "tvxchg-mod-lock",
                                   "-forreal")
        self.assertEqual(0, rc, out + err)
        settings.update(threshold=3, duration=20, window=10)
        self.assertEqual(text([self.host_line, "Retrieving PSOs...", "Modifying PSO:", f"  {dn}",
                               "PSO successfully updated.", "",
                               f"Current Policy Settings - {dn}"] +
                              self.pso_display(dn, "tvxchg-mod-lock", 720, **settings) + [""]) +
                         SUCCESS_TAIL, out)
        after = read_entry(dn, ["*"])
        self.assertEqual(["3"], attribute(after, "msDS-LockoutThreshold"))
        self.assertEqual(["-12000000000"], attribute(after, "msDS-LockoutDuration"))
        self.assertEqual(["-6000000000"], attribute(after, "msDS-LockoutObservationWindow"))
        changed = {"msds-lockoutthreshold", "msds-lockoutduration",
                   "msds-lockoutobservationwindow"}
        self.assertEqual({k: v for k, v in comparable(before).items() if k not in changed},
                         {k: v for k, v in comparable(after).items() if k not in changed})

    def test_domain_complexity_off_keeps_every_other_pwdproperties_bit(self):
        original = domain_policy_values(self.base_dn)
        self.addCleanup(write_domain_policy, self.base_dn, original)
        write_domain_policy(self.base_dn, {"pwdProperties": "17"})
        current = domain_policy_values(self.base_dn)

        out, _ = self.talvex_writing_nothing("-mod", "::::::::::false", "-dompol")
        self.assertEqual(text([self.host_line, "Retrieving Domain Policy...", ""] + NOT_FOR_REAL + [
            "DN to be modified had this been for real.", f"  {self.base_dn}", ""] +
            GROUP_POLICY_WARNING + ["",
            f"Current Policy Settings - {self.base_dn}"] + self.domain_display(current) +
            [""]) + SUCCESS_TAIL, out)

        out, err, rc = self.talvex("-mod", "::::::::::false", "-dompol", "-forreal")
        self.assertEqual(0, rc, out + err)
        after = domain_policy_values(self.base_dn)
        self.assertEqual("16", after["pwdProperties"])
        self.assertEqual({k: v for k, v in current.items() if k != "pwdProperties"},
                         {k: v for k, v in after.items() if k != "pwdProperties"})
        self.assertEqual(text([self.host_line, "Retrieving Domain Policy...",
                               "Modifying Domain Policy:", f"  {self.base_dn}",
                               "Domain Policy successfully updated.", ""] +
                              GROUP_POLICY_WARNING + ["",
                               f"Current Policy Settings - {self.base_dn}"] +
                              self.domain_display(after) + [""]) + SUCCESS_TAIL, out)

    def test_modify_with_a_new_name_writes_then_renames(self):
        old = create_pso(self.made("tvxchg-mod-old"), 721)
        new = self.made("tvxchg-mod-new")
        out, err, rc = self.talvex("-mod", "tvxchg-mod-new::::::5", "-pso", "tvxchg-mod-old",
                                   "-forreal")
        self.assertEqual(0, rc, out + err)
        self.assertIsNone(read_entry(old))
        entry = read_entry(new, ["*"])
        self.assertEqual(["5"], attribute(entry, "msDS-LockoutThreshold"))
        self.assertEqual(["tvxchg-mod-new"], attribute(entry, "name"))
        # The display names were not named, so they stay.
        self.assertEqual(["tvxchg-mod-old"], attribute(entry, "displayName"))
        shown = self.pso_display(new, "tvxchg-mod-new", 721, display_name="tvxchg-mod-old",
                                 threshold=5)
        self.assertEqual(text([self.host_line, "Retrieving PSOs...", "Modifying PSO:", f"  {old}",
                               "PSO successfully updated.", "",
                               f"Current Policy Settings - {new}"] + shown + [""]) +
                         SUCCESS_TAIL, out)

    def test_refused_value_ends_with_the_code_and_writes_nothing(self):
        old = create_pso(self.made("tvxchg-mod-ref"), 722, minlen=8, history=3)
        self.made("tvxchg-mod-ref2")
        before = read_entry(old, ["*"])
        # The schema's range of displayName ends at 256 characters.
        out, err = self.talvex_writing_nothing("-mod", f"tvxchg-mod-ref2:{'x' * 300}::::9",
                                               "-pso", "tvxchg-mod-ref", "-forreal", code=21)
        self.assertEqual(comparable(before), comparable(read_entry(old, ["*"])))
        self.assertEqual([], pso_dns("(name=tvxchg-mod-ref2)"))
        self.assertEqual(text([self.host_line, "Retrieving PSOs...", "Modifying PSO:", f"  {old}",
                               "", "The command did not complete successfully.", ""]), out)
        # With -q the modification routine's own report stays silent; the
        # action's report carries the server's reason.
        self.assertEqual(
            f"ERROR: ldap_modify_s/ldap_rename_ext_s ({old}): : [{self.dc_host}] "
            f"Error 0x15 (21) - {labtest.ldap_error_text(21)}\n", err.splitlines(True)[0])
        self.assertTrue(err.splitlines()[1].startswith("Extended Error: "), err)
        # Wine's wldap32 does not hand out the server's text
        # (LDAP_OPT_SERVER_ERROR); Windows' does.
        if not labtest.on_windows():
            self.assertIn("displayName", err.splitlines()[1])
        self.assertEqual(2, len(err.splitlines()), err)

    def test_values_windows_would_refuse_are_refused_before_any_write(self):
        dn = create_pso(self.made("tvxchg-mod-rule"), 724, maxage=42, minage=10, duration=30,
                        window=30)
        before = read_entry(dn, ["*"])
        # The minimum age of 10 days the change leaves alone outlasts the new
        # maximum of 5; Samba would take it.
        out, _ = self.talvex_writing_nothing("-mod", ":::5", "-pso", "tvxchg-mod-rule",
                                             "-forreal", code=1)
        self.assertEqual(text([self.host_line, "Retrieving PSOs...", "ERROR:",
                               "ERROR: Minimum password age must not be longer than maximum "
                               "password age.",
                               "ERROR: Value - minpwdage 10 days, maxpwdage 5 days",
                               f"ERROR: Values not given are those of {dn}", "ERROR:"]) +
                         USAGE_HINT, out)
        # Text that is not a number used to be written as 0 (never expires,
        # no lockout); it is refused before the directory is contacted.
        for args in ([":::abc"], ["::::::lots"], ["", "-lockout", "x:y:z"]):
            with self.subTest(args=args):
                out, _ = self.talvex_writing_nothing("-mod", *args, "-pso", "tvxchg-mod-rule",
                                                     "-forreal", code=1)
                self.assertNotIn("Using host", out)
                self.assertIn("is not a whole decimal number.", out)
        self.assertEqual(comparable(before), comparable(read_entry(dn, ["*"])))

    def test_rename_without_and_with_forreal(self):
        old = create_pso(self.made("tvxchg-ren-old"), 723)
        new = self.made("tvxchg-ren-new")
        out, _ = self.talvex_writing_nothing("-rename", "tvxchg-ren-new", "-pso", "tvxchg-ren-old")
        self.assertEqual(text([self.host_line, "Retrieving PSOs...", ""] + NOT_FOR_REAL + [
            "DN to be renamed had this been for real. (newname=tvxchg-ren-new)", f"  {old}"]) +
            SUCCESS_TAIL, out)
        self.assertIsNotNone(read_entry(old))

        out, err, rc = self.talvex("-rename", "CN=tvxchg-ren-new", "-pso", "tvxchg-ren-old",
                                   "-forreal")
        self.assertEqual(0, rc, out + err)
        self.assertEqual(text([self.host_line, "Retrieving PSOs...", "Renaming PSO:", f"  {old}",
                               "PSO successfully renamed."]) + SUCCESS_TAIL, out)
        self.assertIsNone(read_entry(old))
        self.assertEqual(["tvxchg-ren-new"], attribute(read_entry(new, ["name"]), "name"))

    def test_new_names_with_dn_characters_stay_in_the_container(self):
        create_pso(self.made("tvxchg-ren-esc"), 724)
        create_pso(self.made("tvxchg-mod-esc"), 725)
        for args, name in ((["-rename", "tvxchg-r,OU=x", "-pso", "tvxchg-ren-esc"],
                            "tvxchg-r,OU=x"),
                           (["-mod", "tvxchg-m,OU=y+CN=z", "-pso", "tvxchg-mod-esc"],
                            "tvxchg-m,OU=y+CN=z")):
            with self.subTest(args=args):
                out, err, rc = self.talvex(*args, "-forreal")
                self.assertEqual(0, rc, out + err)
                found = labtest.ldapsearch(filter=f"(name={name})", attributes=["name"])
                self.assertEqual(1, len(found), found)
                found_dn, entry = found[0]
                self.addCleanup(labtest.delete_if_present, found_dn)
                self.assertEqual([name], attribute(entry, "name"))
                self.assertTrue(found_dn.lower().endswith("," + self.pso_container.lower()))
                # The whole name is the RDN value: nothing before its comma.
                self.assertEqual([], pso_dns(f"(name={name.split(',')[0]})"))

    def test_two_matching_policies_are_refused(self):
        create_pso(self.made("tvxchg-two-a"), 726)
        create_pso(self.made("tvxchg-two-b"), 727)
        for args, verb in ((["-rename", "tvxchg-two-c"], "rename"),
                           (["-mod", "::::::3"], "modify")):
            with self.subTest(verb=verb):
                out, _ = self.talvex_writing_nothing(*args, "-pso", "tvxchg-two-*", "-forreal",
                                                   code=1)
                self.assertEqual(text([self.host_line, "Retrieving PSOs...", "ERROR:",
                                       f"ERROR: Can only {verb} one object at a time, be more "
                                       "specific with selection criteria.", "ERROR:"]) +
                                 USAGE_HINT, out)


if __name__ == "__main__":
    unittest.main()
