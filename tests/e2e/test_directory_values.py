"""End-to-end tests of what talvex makes of values read from the directory:
a PSO applied to more subjects than a Windows controller hands out at once,
and directory text that carries control characters.

Standard library only.
"""

import re
import time
import unittest

import labtest
from labtest import LabTestCase, SUCCESS_TAIL

SUBJECTS = 1600  # more than a Windows controller's MaxValRange (1,500)


class RangedValuesTest(LabTestCase):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # The users are a fixture made once and kept (a user add costs a
        # Samba DC about 0.1-0.3 s); only the PSO is made and removed per run.
        cls.ou = "OU=e2e-ranged," + cls.base_dn
        cls.pso = cls.pso_dn("e2erng-pso")
        labtest.delete_if_present(cls.pso)
        cls.users = [f"CN=e2erng-{i:04d},{cls.ou}" for i in range(SUBJECTS)]
        started = time.monotonic()
        present = {dn.lower() for dn, _ in labtest.ldapsearch(
            base=cls.ou, scope="one", filter="(objectClass=user)", attributes=["1.1"])}
        if labtest.read_entry(cls.ou, ["1.1"]) is None:
            labtest.add_ldif(labtest.ou_entry(cls.ou))
        missing = [(i, dn) for i, dn in enumerate(cls.users) if dn.lower() not in present]
        for at in range(0, len(missing), 100):
            labtest.add_ldif("".join(labtest.user_entry(dn, f"e2erng-{i:04d}")
                                     for i, dn in missing[at:at + 100]))
        labtest.add_ldif(labtest.pso_entry(cls.pso, 900, applies_to=cls.users))
        print(f"\n{len(missing)} of {SUBJECTS} users made, PSO applied to all in "
              f"{time.monotonic() - started:.1f} s")

    @classmethod
    def tearDownClass(cls):
        labtest.delete_if_present(cls.pso)
        super().tearDownClass()

    def test_samba_honours_an_explicit_range(self):
        # What a Windows controller does unasked: the first range, named.
        entry = labtest.read_entry(self.pso, ["msDS-PSOAppliesTo;range=0-99"])
        self.assertEqual(100, len(labtest.attribute(entry, "msDS-PSOAppliesTo;range=0-99")))
        entry = labtest.read_entry(self.pso, [f"msDS-PSOAppliesTo;range=1500-*"])
        self.assertEqual(SUBJECTS - 1500,
                         len(labtest.attribute(entry, "msDS-PSOAppliesTo;range=1500-*")))

    def test_applied_lists_every_subject(self):
        out, err, rc = labtest.run_talvex("-q", "-applied", "-pso", "e2erng-pso")
        self.assertEqual(0, rc, out + err)
        listed = re.findall(r"^      [-+ ]\[user\] +(CN=e2erng-\d{4},[^ ]+)", out, re.M)
        self.assertEqual(sorted(dn.lower() for dn in self.users),
                         sorted(dn.lower() for dn in listed))
        self.assertTrue(out.endswith(SUCCESS_TAIL))


class DirectoryTextTest(LabTestCase):
    """Names, display names, DNs and principal names that carry control
    characters are shown as visible escapes, never sent raw to the terminal.
    (Samba, like Windows, refuses them in sAMAccountName.)"""

    RAW_DISPLAY = "e2etxt \x1b[2J\x1b]0;owned\x07 line\nforged \u00c4rzte \u20ac"
    SHOWN_DISPLAY = "e2etxt \\x1b[2J\\x1b]0;owned\\x07 line\\nforged \u00c4rzte \u20ac"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.ou = "OU=e2e-text," + cls.base_dn
        cls.user = "CN=e2etxt\x1b[2Ju," + cls.ou
        cls.shown_user = "CN=e2etxt\\x1b[2Ju," + cls.ou
        cls.upn = "e2etxt\x1bu@" + cls.domain
        cls.shown_upn = "e2etxt\\x1bu@" + cls.domain
        cls.pso = cls.pso_dn("e2etxt-pso\x07\x7f")
        cls.shown_pso = f"CN=e2etxt-pso\\x07\\x7f,{cls.pso_container}"
        cls.cleanUp()
        labtest.add_ldif(labtest.ou_entry(cls.ou) + "\n".join([
            labtest.ldif_line("dn", cls.user), "objectClass: user", "sAMAccountName: e2etxtu",
            labtest.ldif_line("userPrincipalName", cls.upn),
            labtest.ldif_line("displayName", cls.RAW_DISPLAY)]) + "\n\n")
        labtest.add_ldif(labtest.pso_entry(cls.pso, 901, name="e2etxt-pso",
                                           display_name=cls.RAW_DISPLAY, applies_to=[cls.user]))

    @classmethod
    def tearDownClass(cls):
        cls.cleanUp()
        super().tearDownClass()

    @classmethod
    def cleanUp(cls):
        for dn, _ in labtest.ldapsearch(base=cls.pso_container,
                                        filter="(name=e2etxt-pso*)", attributes=["1.1"]):
            labtest.delete_tree(dn)
        labtest.delete_tree(cls.ou)

    def assertNoControls(self, text):
        controls = [c for c in text if (ord(c) < 0x20 and c != "\n") or 0x7f <= ord(c) < 0xa0]
        self.assertEqual([], controls, text)

    def test_every_text_output_escapes_control_characters(self):
        runs = {
            "view": (["-q", "-view", "-pso", "e2etxt-pso*"],
                     ["    DN                 : " + self.shown_pso + "\n",
                      "    Name               : e2etxt-pso\\x07\\x7f\n",
                      "    Display Name       : " + self.SHOWN_DISPLAY + "\n"]),
            "dn listing": (["-q", "-view", "-pso", "e2etxt-pso*", "-dn"],
                           ["    " + self.shown_pso + "\n"]),
            "applied": (["-q", "-applied", "-pso", "e2etxt-pso*"],
                        [f" {self.shown_user}  (e2etxtu | {self.shown_upn})\n"]),
            "effective": (["-q", "-effective", "e2etxtu"],
                          [f"\nUser: e2etxtu | {self.shown_upn} | {self.shown_user}\n",
                           f"Effective PSO: {self.shown_pso}\n"]),
        }
        for name, (args, expected) in runs.items():
            with self.subTest(run=name):
                out, err, rc = labtest.run_talvex(*args)
                self.assertEqual(0, rc, out + err)
                for line in expected:
                    self.assertIn(line, out)
                self.assertNoControls(out)
                self.assertNoControls(err)


if __name__ == "__main__":
    unittest.main()
