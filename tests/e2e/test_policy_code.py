"""End-to-end tests of policies as code (-export, -sync) against the lab
domain controller.

The suite makes its own PSOs (named tvxpc-...) and an OU with a user, a
second user and a global security group. The exported document is compared
whole with the one built here from an independent read of the directory:
ldapsearch for the objectGUIDs, SIDs and account names, the -view -json
document (itself tested against the directory) for the settings. Every
document is validated against the published schema, and an export writes
nothing. -sync is given an export after the directory was changed behind
its back with ldapmodify; its plan must list exactly those changes, write
nothing and exit 2; malformed files are refused before the directory is
read. With -forreal the directory must end as the file says (checked with
an export, itself checked against ldapsearch above), a second run finds
nothing to do, and a refused write stops the run with what was and was not
made; -prune deletes only what its rules allow.
"""

import base64
import json
import os
import struct
import subprocess
import tempfile
import uuid

import jsonschema

import labtest
from labtest import ChangesTestCase, NOT_FOR_REAL, SUCCESS_TAIL, USAGE_HINT, text

PREFIX = "tvxpc-"
SCHEMA_PATH = os.path.join(labtest.SOURCE_DIR, "docs", "talvex-policies.schema.json")
with open(SCHEMA_PATH, encoding="utf-8") as schema_file:
    VALIDATOR = jsonschema.Draft202012Validator(json.load(schema_file))
with open(os.path.join(labtest.SOURCE_DIR, "docs", "talvex-output.schema.json"),
          encoding="utf-8") as schema_file:
    OUTPUT_VALIDATOR = jsonschema.Draft202012Validator(json.load(schema_file))


def binary_attribute(dn, name):
    """An attribute's bytes as stored (ldapsearch prints them base64)."""
    done = subprocess.run(
        [os.path.join(labtest.LAB_DIR, "ldapsearch.sh"), "-LLL", "-s", "base", "-b", dn,
         "(objectClass=*)", name],
        capture_output=True, timeout=labtest.LDAP_TIMEOUT, env=labtest.lab_subprocess_env())
    assert done.returncode == 0, done.stderr
    for line in done.stdout.decode().splitlines():
        if line.lower().startswith(name.lower() + "::"):
            return base64.b64decode(line.split("::", 1)[1].strip())
    raise AssertionError(f"no {name} on {dn}")


def guid_text(dn):
    raw = binary_attribute(dn, "objectGUID")
    return "{" + str(uuid.UUID(bytes_le=raw)).upper() + "}"


def sid_text(dn):
    raw = binary_attribute(dn, "objectSid")
    count = raw[1]
    authority = int.from_bytes(raw[2:8], "big")
    subs = struct.unpack("<" + "I" * count, raw[8:8 + 4 * count])
    return "S-1-" + str(authority) + "".join(f"-{s}" for s in subs)


def dumped(document):
    """The bytes talvex writes for a document: indent 2, UTF-8, one line end."""
    return json.dumps(document, indent=2, ensure_ascii=False) + "\n"


class PolicyCodeTest(ChangesTestCase):
    WATCHED = ("cn=" + PREFIX,)

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.ou = "OU=tvxpc," + cls.base_dn
        cls.psos = {name: cls.pso_dn(PREFIX + name)
                    for name in ("e-alpha", "e-beta", "s-keep", "s-gone", "s-old", "s-new",
                                 "s-extra")}
        cls.own_objects(list(cls.psos.values()))
        cls.user1 = f"CN=tvxpc-u1,{cls.ou}"
        cls.user2 = f"CN=tvxpc-u2,{cls.ou}"
        cls.group = f"CN=tvxpc-g1,{cls.ou}"
        labtest.add_ldif(labtest.ou_entry(cls.ou)
                         + labtest.user_entry(cls.user1, "tvxpc-u1")
                         + labtest.user_entry(cls.user2, "tvxpc-u2")
                         + labtest.group_entry(cls.group, "tvxpc-g1"))
        labtest.add_ldif(labtest.pso_entry(cls.psos["e-alpha"], 41, [cls.user1, cls.group],
                                           display_name="Alpha policy", threshold=7,
                                           duration=-1, window=20, maxage=-1))
        labtest.add_ldif(labtest.pso_entry(cls.psos["e-beta"], 42))
        labtest.add_ldif(labtest.pso_entry(cls.psos["s-keep"], 51, [cls.user1], threshold=7)
                         + labtest.pso_entry(cls.psos["s-gone"], 52)
                         + labtest.pso_entry(cls.psos["s-old"], 53))

    def document(self, *args):
        out, err = self.talvex_writing_nothing(*args)
        self.assertEqual("", err)
        document = json.loads(out)
        VALIDATOR.validate(document)
        return out, document

    def view(self, *selection):
        out, _, rc = self.talvex("-view", "-json", *selection)
        self.assertEqual(0, rc, out)
        return json.loads(out)

    def view_settings(self, *selection):
        return {p["dn"].lower(): p for p in self.view(*selection)["policies"]}

    def expected_pso(self, dn, subjects):
        view = self.view_settings("-pso", dn)[dn.lower()]
        return {
            "name": view["name"],
            "displayName": view["displayName"],
            "precedence": view["precedence"],
            "settings": view["settings"],
            "objectGUID": guid_text(dn),
            "subjects": [{"dn": s, "accountName": s.split(",", 1)[0][3:],
                          "objectSid": sid_text(s),
                          "objectClass": "group" if s == self.group else "user"}
                         for s in sorted(subjects, key=str.lower)],
        }

    def test_export_of_selected_psos_is_the_directory(self):
        out, _ = self.document("-export", "-pso", PREFIX + "e-*")
        expected = {
            "formatVersion": 1,
            "domain": self.view("-dompol")["domain"],
            "psos": [self.expected_pso(self.psos["e-alpha"], [self.user1, self.group]),
                     self.expected_pso(self.psos["e-beta"], [])],
        }
        self.assertEqual(dumped(expected), out)
        self.assertIsNone(expected["psos"][0]["settings"]["maxPasswordAgeDays"])

    def test_export_without_selection_holds_everything_in_a_stable_order(self):
        first, document = self.document("-export")
        second, _ = self.document("-export")
        self.assertEqual(first, second)
        view = self.view_settings("-dompol")
        self.assertEqual(next(iter(view.values()))["settings"],
                         document["domainPolicy"]["settings"])
        names = [p["name"] for p in document["psos"]]
        self.assertEqual(sorted(names, key=str.lower), names)
        self.assertEqual(sorted(dn.lower() for dn in labtest.pso_dns()),
                         sorted(self.pso_dn(n).lower() for n in names))

    def write(self, content):
        handle = tempfile.NamedTemporaryFile("w", suffix=".json", delete=False,
                                             encoding="utf-8")
        self.addCleanup(os.unlink, handle.name)
        handle.write(content)
        handle.close()
        return handle.name

    def unmanaged(self):
        """The lab's PSOs the test's file does not name, in the plan's order."""
        named = [self.psos[n].lower() for n in ("s-keep", "s-gone", "s-new")]
        return sorted((dn for dn in labtest.pso_dns() if dn.lower() not in named),
                      key=str.lower)

    def test_sync_plans_exactly_the_changes_made_behind_its_back(self):
        exported, _ = self.document("-export", "-pso", PREFIX + "s-*")
        path = self.write(exported)
        keep, user1, user2 = self.psos["s-keep"], self.user1, self.user2
        labtest.ldapmodify(
            f"dn: {keep}\nchangetype: modify\nreplace: msDS-LockoutThreshold\n"
            f"msDS-LockoutThreshold: 9\n-\ndelete: msDS-PSOAppliesTo\n"
            f"msDS-PSOAppliesTo: {user1}\n-\nadd: msDS-PSOAppliesTo\n"
            f"msDS-PSOAppliesTo: {user2}\n-\n\n"
            f"dn: {self.psos['s-gone']}\nchangetype: delete\n\n"
            f"dn: {self.psos['s-old']}\nchangetype: modrdn\nnewrdn: CN={PREFIX}s-new\n"
            f"deleteoldrdn: 1\n")
        labtest.add_ldif(labtest.pso_entry(self.psos["s-extra"], 54))
        out, err = self.talvex_writing_nothing("-sync", path, code=2)
        gone = json.loads(exported)["psos"][0]
        created = [f"    {label}{value}" for label, value in (
            ("Policy Precedence  : ", "52"), ("Lockout Threshold  : ", "0"),
            ("Lockout Duration   : ", "30"), ("Lockout Observation: ", "30"),
            ("Min Pwd Age        : ", "1"), ("Max Pwd Age        : ", "60"),
            ("Min Pwd Length     : ", "10"), ("Pwd History        : ", "5"),
            ("Pwd Complexity     : ", "TRUE"), ("Pwd Reversible     : ", "FALSE"))]
        self.assertEqual("tvxpc-s-gone", gone["name"])
        self.assertEqual(text(
            [self.host_line, "Retrieving PSOs...", ""] + NOT_FOR_REAL + [
                "Changes to make had this been for real.",
                f"  PSO {PREFIX}s-gone: to be created"] + created + [
                f"  PSO {PREFIX}s-keep ({keep})",
                "    Lockout Threshold  : 9 -> 7",
                f"    + {user1}",
                f"    - {user2}",
                f"  PSO {PREFIX}s-new ({self.psos['s-new']})",
                f"    renamed: {PREFIX}s-new -> {PREFIX}s-old",
                "PSOs the file does not name, left alone:"]
            + [f"  {dn}" for dn in self.unmanaged()] + [""]) + SUCCESS_TAIL, out)
        self.assertEqual("", err)

    def test_sync_of_an_unchanged_export_plans_nothing(self):
        exported, _ = self.document("-export", "-pso", PREFIX + "e-alpha")
        out, _ = self.talvex_writing_nothing("-sync", self.write(exported), code=0)
        self.assertIn("\nThe domain matches ", out)
        self.assertNotIn("Changes to make", out)
        usn = labtest.highest_committed_usn()
        out, _, rc = self.talvex("-sync", "-", stdin=exported)
        self.assertNothingWrittenSince(usn, out)
        self.assertEqual(0, rc, out)
        self.assertIn("\nThe domain matches -: nothing to change.\n", out)

    def test_malformed_files_are_refused_before_the_directory_is_read(self):
        pso = {"name": PREFIX + "x", "precedence": 5, "settings": {
            "lockoutThreshold": 3, "lockoutDurationMinutes": 10,
            "lockoutObservationWindowMinutes": 10, "minPasswordAgeDays": 1,
            "maxPasswordAgeDays": 60, "minPasswordLength": 10, "passwordHistoryLength": 5,
            "complexityEnabled": True, "reversibleEncryptionEnabled": False}}
        def doc(**changes):
            return json.dumps({"formatVersion": 1, "psos": [dict(pso, **changes)]})
        window = dict(pso["settings"], lockoutObservationWindowMinutes=20)
        cases = [
            ("{", "ERROR: At line 1, column 2: not valid JSON."),
            (doc(colour="red"), "ERROR: At /psos/0/colour: unknown key."),
            (doc(precedence="5"), "ERROR: At /psos/0/precedence: expected a whole number."),
            (doc(settings=window), "ERROR: Lockout observation must not be longer than "
                                   "lockout duration."),
        ]
        for content, line in cases:
            path = self.write(content)
            out, err = self.talvex_writing_nothing("-sync", path, code=1)
            self.assertIn(f"ERROR: Bad policy file {path}.\n", out, content)
            self.assertIn(line + "\n", out, content)
            self.assertTrue(out.endswith(USAGE_HINT), out)
            self.assertNotIn("Using host", out)
        for args, line in (
                (("-sync", "/nonexistent/p.json"),
                 "ERROR: Cannot read the policy file /nonexistent/p.json."),
                (("-view", "-pso", "-prune"), "ERROR: -prune is only valid with -sync."),
                (("-sync", self.write(doc()), "-pso", "x"),
                 "ERROR: -sync takes its policies from the file: -pso, -dompol, "
                 "-allpwdpols, -used and -unused are not valid with it.")):
            out, _ = self.talvex_writing_nothing(*args, code=1)
            self.assertEqual(text(["ERROR:", line, "ERROR:"]) + USAGE_HINT, out)
        unknown = doc(subjects=[{"dn": "CN=nobody," + self.ou}])
        out, _ = self.talvex_writing_nothing("-sync", self.write(unknown), code=1)
        self.assertIn(f"ERROR: At /psos/0/subjects/0: CN=nobody,{self.ou} was not found.\n",
                      out)

    def sync(self, path, *args, code=0):
        out, err, rc = self.talvex("-sync", path, *args)
        self.assertEqual(code, rc, out + err)
        return out

    def test_sync_forreal_makes_the_domain_match_the_file(self):
        dn = {n: self.pso_dn(PREFIX + n)
              for n in ("f-keep", "f-gone", "f-old", "f-new", "f-extra", "f-used")}
        for each in dn.values():
            labtest.delete_if_present(each)
            self.addCleanup(labtest.delete_if_present, each)
        labtest.add_ldif(labtest.pso_entry(dn["f-keep"], 61, [self.user1], threshold=7)
                         + labtest.pso_entry(dn["f-gone"], 62, [self.group])
                         + labtest.pso_entry(dn["f-old"], 63))
        # The whole domain, so that -prune below finds only what the test adds.
        exported, _ = self.document("-export")
        document = json.loads(exported)
        keep = next(p for p in document["psos"] if p["name"] == PREFIX + "f-keep")
        keep["subjects"] = [{"accountName": "tvxpc-u1"}]  # as another domain's file
        path = self.write(dumped(document))
        labtest.ldapmodify(
            f"dn: {dn['f-keep']}\nchangetype: modify\nreplace: msDS-LockoutThreshold\n"
            f"msDS-LockoutThreshold: 9\n-\ndelete: msDS-PSOAppliesTo\n"
            f"msDS-PSOAppliesTo: {self.user1}\n-\nadd: msDS-PSOAppliesTo\n"
            f"msDS-PSOAppliesTo: {self.user2}\n-\n\n"
            f"dn: {dn['f-gone']}\nchangetype: delete\n\n"
            f"dn: {dn['f-old']}\nchangetype: modrdn\nnewrdn: CN={PREFIX}f-new\n"
            f"deleteoldrdn: 1\n")
        usn = labtest.highest_committed_usn()
        out, err, rc = self.talvex("-sync", path, "-json")
        self.assertNothingWrittenSince(usn, out + err)
        self.assertEqual(2, rc, err)
        plan = json.loads(out)
        OUTPUT_VALIDATOR.validate(plan)
        changed = {p["name"]: p for p in plan["sync"]["psos"] if p["change"] != "none"}
        self.assertEqual({PREFIX + "f-keep", PREFIX + "f-gone", PREFIX + "f-old"},
                         set(changed))
        self.assertEqual(([self.user1], [self.user2]),
                         (changed[PREFIX + "f-keep"]["subjectsAdded"],
                          changed[PREFIX + "f-keep"]["subjectsRemoved"]))
        self.assertEqual(PREFIX + "f-new", changed[PREFIX + "f-old"]["renamedFrom"])

        out = self.sync(path, "-forreal")
        self.assertIn("\nMaking the changes:\n"
                      f"  Modified {dn['f-keep']}\n"
                      f"  Renamed {dn['f-new']} to {dn['f-old']}\n"
                      f"  Created {dn['f-gone']}\n"
                      "Reading the policies back...\n"
                      f"The domain matches {path}.\n", out)
        expected = json.loads(exported)
        for pso in expected["psos"]:
            if pso["name"] == PREFIX + "f-gone":
                pso["objectGUID"] = guid_text(dn["f-gone"])
        after, _ = self.document("-export")
        self.assertEqual(dumped(expected), after)
        out, _ = self.talvex_writing_nothing("-sync", path, code=0)
        self.assertIn(f"\nThe domain matches {path}: nothing to change.\n", out)

        # A refused write stops the run there; what came before stays made.
        labtest.ldapmodify(
            f"dn: {dn['f-keep']}\nchangetype: modify\nreplace: msDS-LockoutThreshold\n"
            f"msDS-LockoutThreshold: 9\n\n"
            f"dn: {dn['f-old']}\nchangetype: modify\nreplace: msDS-LockoutThreshold\n"
            f"msDS-LockoutThreshold: 9\n")
        labtest._acl("add", dn["f-old"], "(D;;WP;;;WD)")
        self.addCleanup(labtest._acl, "remove", dn["f-old"], "(D;;WP;;;WD)")
        out, err, rc = self.talvex("-sync", path, "-forreal")
        self.assertEqual(50, rc, out + err)
        self.assertIn(f"  Modified {dn['f-keep']}\nChanges not made:\n"
                      f"  Modify {dn['f-old']}\n\n", out)
        self.assertIn(f"ERROR: ldap_modify_s ({dn['f-old']}): ", err)
        labtest._acl("remove", dn["f-old"], "(D;;WP;;;WD)")
        self.sync(path, "-forreal")

        # -prune: an unused PSO goes, one in use only with -override, a
        # protected one never.
        labtest.add_ldif(labtest.pso_entry(dn["f-extra"], 64)
                         + labtest.pso_entry(dn["f-used"], 65, [self.user2]))
        out = self.sync(path, "-prune", "-forreal")
        self.assertIn(f"  PSO {PREFIX}f-extra ({dn['f-extra']}): to be deleted\n", out)
        self.assertIn(f"  {dn['f-used']} (applies to 1 object; -override deletes it)\n", out)
        self.assertIn(f"  Deleted {dn['f-extra']}\n", out)
        labtest.deny_delete(self, dn["f-used"], self.pso_container)
        out, _ = self.talvex_writing_nothing("-sync", path, "-prune", "-override",
                                             "-forreal", code=0)
        self.assertIn(f"  {dn['f-used']} (protected from accidental deletion)\n", out)
        self.assertEqual(sorted(dn[n].lower() for n in ("f-gone", "f-keep", "f-old", "f-used")),
                         sorted(d.lower() for d in labtest.pso_dns() if PREFIX + "f-" in d))


if __name__ == "__main__":
    import unittest
    unittest.main()
