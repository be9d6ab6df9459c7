"""-add against the lab: the checks against existing PSOs, the dry run, and
the object that is created, read back with ldapsearch."""

import unittest

import labtest
from labtest import (ChangesTestCase, DEFAULT_WARNINGS, NOT_FOR_REAL, Policy, SUCCESS_TAIL,
                     USAGE_HINT, attribute, create_pso, pso_dns, pso_values, read_entry, text)

# What the server adds to every new PSO by itself; everything else on the
# object must come from talvex's request.
SERVER_MADE = {"cn", "name", "distinguishedname", "instancetype", "whencreated",
               "whenchanged", "usncreated", "usnchanged", "objectguid",
               "objectcategory"}

NOT_UNIQUE = "ERROR:\nERROR: Password Settings Object Name is not unique.\nERROR: Existing Object: \n"


class AddTest(ChangesTestCase):

    def prelude(self):
        return [self.host_line, "Retrieving PSOs...", "Checking existing policies..."]

    def test_dry_run_shows_the_defaults_and_writes_nothing(self):
        dn = self.made("tvxchg-add-dry")
        out, err = self.talvex_writing_nothing("-add", "tvxchg-add-dry::701")
        self.assertIsNone(read_entry(dn))
        expected = (["WARN: Using name tvxchg-add-dry for displayName."] + DEFAULT_WARNINGS +
                    [""] + self.prelude() + [""] + NOT_FOR_REAL +
                    ["PSO that would have been created had this been for real.", ""] +
                    Policy(dn, 701, domain=self.domain, name="tvxchg-add-dry",
                           display_name="tvxchg-add-dry").lines() + [""])
        self.assertEqual(text(expected) + SUCCESS_TAIL, out)
        self.assertEqual("", err)

    def test_created_object_holds_exactly_the_thirteen_attributes(self):
        dn = self.made("tvxchg-add-full")
        out, err, rc = self.talvex(
            "-add", "tvxchg-add-full:Full Display:702:42:10:5:3:45:30:2:false:true", "-forreal")
        self.assertEqual(0, rc, out + err)
        self.assertIn(text(["", f"Creating new PSO: {dn}", "PSO successfully created.", ""]), out)
        entry = read_entry(dn, ["*"])
        self.assertIsNotNone(entry)
        expected = pso_values(702, threshold=3, duration=45, window=30, maxage=42, minage=2,
                              minlen=10, history=5, complexity=False, reversible=True)
        # The name fills both display names first; the display name given then
        # replaces only the display name.
        expected.update({"displayName": "Full Display", "adminDisplayName": "tvxchg-add-full"})
        for name, value in expected.items():
            self.assertEqual([value], attribute(entry, name), name)
        self.assertEqual(["top", "msDS-PasswordSettings"], attribute(entry, "objectClass"))
        ours = {name.lower() for name in expected} | {"objectclass"}
        self.assertEqual(13, len(ours))
        self.assertEqual(ours | SERVER_MADE, {name.lower() for name in entry})
        self.assertEqual(["tvxchg-add-full"], attribute(entry, "name"))

    def test_name_in_use_stops_whatever_the_letter_case_also_with_override(self):
        existing = create_pso(self.made("tvxchg-Unique"), 703, threshold=6)
        umlaut = create_pso(self.made("tvxchg-Ärzte"), 704, threshold=7)
        for args, dn in ((["-add", "TVXCHG-UNIQUE::705"], existing),
                         (["-add", "TVXCHG-UNIQUE::705", "-override", "-forreal"], existing),
                         (["-add", "tvxchg-ärzte::706", "-forreal"], umlaut)):
            with self.subTest(args=args):
                out, err = self.talvex_writing_nothing(*args, code=1)
                self.assertTrue(out.endswith(
                    NOT_UNIQUE + f"ERROR:     {dn}\nERROR:\n" + USAGE_HINT), out)
        self.assertEqual([existing.lower()],
                         [dn.lower() for dn in pso_dns("(name=tvxchg-unique)")])

    def test_same_settings_stop_without_override_and_create_with_it(self):
        twin = create_pso(self.made("tvxchg-add-twin"), 707, threshold=4, duration=20,
                          window=20, maxage=60, minage=1, minlen=11, history=6,
                          complexity=False)
        dn = self.made("tvxchg-add-same")
        spec = "tvxchg-add-same::708:60:11:6:4:20:20:1:false:false"
        warning = ["  WARN:",
                   "  WARN: A policy setting object already exists with the same settings.",
                   f"  WARN: Policy Setting object - tvxchg-add-twin ({twin})"]
        out, err = self.talvex_writing_nothing("-add", spec, "-forreal", code=1)
        self.assertTrue(out.endswith(text(warning + [
            "  ERROR: Creation of new policy terminated.",
            "  ERROR: Use -override switch to force object creation.",
            "  ERROR:"]) + USAGE_HINT), out)
        self.assertIsNone(read_entry(dn))

        out, err, rc = self.talvex("-add", spec, "-forreal", "-override")
        self.assertEqual(0, rc, out + err)
        self.assertIn(text(warning + ["  WARN: Override specified, creating object.", "  WARN:",
                                      "", f"Creating new PSO: {dn}"]), out)
        entry = read_entry(dn)
        for name, value in pso_values(708, threshold=4, duration=20, window=20, maxage=60,
                                      minage=1, minlen=11, history=6,
                                      complexity=False).items():
            self.assertEqual([value], attribute(entry, name), name)

    def test_each_precedence_clash_gives_its_own_warning(self):
        # The first also has the new PSO's settings: with -override its
        # settings block comes first, then its precedence block.
        first = create_pso(self.made("tvxchg-prec-a"), 709)
        second = create_pso(self.made("tvxchg-prec-b"), 709, threshold=2)
        dn = self.made("tvxchg-prec-new")

        def precedence_block(name, clash):
            return ["  WARN:",
                    "  WARN: A policy setting object already exists with the same precedence.",
                    f"  WARN: Policy Setting object - {name}",
                    f"  WARN:     ({clash})",
                    "  WARN: When a single user has two policies assigned with the same",
                    "  WARN: precedence at the same scope (i.e. directly applied or",
                    "  WARN: or applied via group), the policy with the lowest GUID will apply."]

        out, err = self.talvex_writing_nothing("-add", "tvxchg-prec-new::709", "-override")
        expected = (["  WARN:",
                     "  WARN: A policy setting object already exists with the same settings.",
                     f"  WARN: Policy Setting object - tvxchg-prec-a ({first})",
                     "  WARN: Override specified, creating object.", "  WARN:"] +
                    precedence_block("tvxchg-prec-a", first) +
                    precedence_block("tvxchg-prec-b", second) + [""] + NOT_FOR_REAL)
        self.assertIn(text(["Checking existing policies..."] + expected), out)
        self.assertEqual(2, out.count("already exists with the same precedence."))
        self.assertIsNone(read_entry(dn))

    def test_name_with_dn_characters_names_one_pso_in_the_container(self):
        name = "tvxchg-a,OU=x"
        dn = self.made("tvxchg-a\\,OU\\=x")
        out, err, rc = self.talvex("-add", f"{name}::710", "-forreal")
        self.assertEqual(0, rc, out + err)
        found = labtest.ldapsearch(filter="(name=tvxchg-a,OU=x)", attributes=["name"])
        self.assertEqual(1, len(found), found)
        found_dn, entry = found[0]
        self.assertEqual([name], attribute(entry, "name"))
        self.assertTrue(found_dn.lower().endswith("," + self.pso_container.lower()), found_dn)
        self.assertEqual([], labtest.ldapsearch(filter="(name=tvxchg-a)", attributes=["1.1"]))
        self.addCleanup(labtest.delete_if_present, found_dn)
        self.assertIn(f"Creating new PSO: {dn}\n", out)


if __name__ == "__main__":
    unittest.main()
