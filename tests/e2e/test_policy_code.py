"""End-to-end tests of policies as code (-export) against the lab domain
controller.

The suite makes its own PSOs (named tvxpc-...) and an OU with a user, a
second user and a global security group. The exported document is compared
whole with the one built here from an independent read of the directory:
ldapsearch for the objectGUIDs, SIDs and account names, the -view -json
document (itself tested against the directory) for the settings. Every
document is validated against the published schema, and an export writes
nothing.
"""

import base64
import json
import os
import struct
import subprocess
import uuid

import jsonschema

import labtest
from labtest import ChangesTestCase

PREFIX = "tvxpc-"
SCHEMA_PATH = os.path.join(labtest.SOURCE_DIR, "docs", "talvex-policies.schema.json")
with open(SCHEMA_PATH, encoding="utf-8") as schema_file:
    VALIDATOR = jsonschema.Draft202012Validator(json.load(schema_file))


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
        cls.psos = {name: cls.pso_dn(PREFIX + name) for name in ("alpha", "beta")}
        cls.own_objects(list(cls.psos.values()))
        cls.user1 = f"CN=tvxpc-u1,{cls.ou}"
        cls.user2 = f"CN=tvxpc-u2,{cls.ou}"
        cls.group = f"CN=tvxpc-g1,{cls.ou}"
        labtest.add_ldif(labtest.ou_entry(cls.ou)
                         + labtest.user_entry(cls.user1, "tvxpc-u1")
                         + labtest.user_entry(cls.user2, "tvxpc-u2")
                         + labtest.group_entry(cls.group, "tvxpc-g1"))
        labtest.add_ldif(labtest.pso_entry(cls.psos["alpha"], 41, [cls.user1, cls.group],
                                           display_name="Alpha policy", threshold=7,
                                           duration=-1, window=20, maxage=-1))
        labtest.add_ldif(labtest.pso_entry(cls.psos["beta"], 42))

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
        out, _ = self.document("-export", "-pso", PREFIX + "*")
        expected = {
            "formatVersion": 1,
            "domain": self.view("-dompol")["domain"],
            "psos": [self.expected_pso(self.psos["alpha"], [self.user1, self.group]),
                     self.expected_pso(self.psos["beta"], [])],
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


if __name__ == "__main__":
    import unittest
    unittest.main()
