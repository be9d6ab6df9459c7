"""End-to-end tests of -json: one JSON document on standard output for -view,
-applied and -effective.

Every document is validated against the published schema
(docs/talvex-output.schema.json) and its values are compared with what
ldapsearch reads independently and with the text listing of the same
command. The tests make their own users, groups and PSOs (e2ejson-...).
"""

import json
import os
import re
import subprocess
import unittest

import jsonschema

import labtest
from labtest import LabTestCase

PREFIX = "e2ejson-"
SCHEMA_PATH = os.path.join(labtest.SOURCE_DIR, "docs", "talvex-output.schema.json")
README_PATH = os.path.join(labtest.SOURCE_DIR, "README.md")
# Quotes, a backslash, a tab and non-ASCII text: a JSON string carries the
# directory's text exactly, with JSON's own escaping only.
ODD_DISPLAY_NAME = 'Zoë "quoted" \\ tab\tend'

with open(SCHEMA_PATH, encoding="utf-8") as schema_file:
    VALIDATOR = jsonschema.Draft202012Validator(json.load(schema_file))

TYPE_TEXT = {"pso": labtest.PSO_TYPE, "domainPolicy": labtest.DOMAIN_POLICY_TYPE}
# The JSON name of each setting.
SETTING_KEYS = dict(threshold="lockoutThreshold", duration="lockoutDurationMinutes",
                    window="lockoutObservationWindowMinutes", minage="minPasswordAgeDays",
                    maxage="maxPasswordAgeDays", minlen="minPasswordLength",
                    history="passwordHistoryLength", complexity="complexityEnabled",
                    reversible="reversibleEncryptionEnabled")


def policy_fields(policy):
    """A JSON policy as the sixteen labelled fields of the text display
    (never, null in JSON, is -1 there)."""
    settings = {setting: -1 if policy["settings"][key] is None else policy["settings"][key]
                for setting, key in SETTING_KEYS.items()}
    return labtest.Policy(policy["dn"], policy["precedence"], TYPE_TEXT[policy["type"]],
                          policy["domain"], policy["name"], policy["canonicalName"],
                          policy["displayName"], **settings).fields


def visible(fields):
    """The fields as the text listing shows them: control characters from the
    directory appear there as escapes, in JSON as themselves."""
    names = {"\n": "\\n", "\r": "\\r", "\t": "\\t"}
    return {label: "".join(names.get(c, "\\x%02x" % ord(c)) if ord(c) < 0x20 or ord(c) == 0x7f
                           else c for c in value)
            for label, value in fields.items()}


def member_line(subject):
    """A JSON subject as the text listing's member line."""
    flag = " " if subject["resultant"] is None else "+" if subject["resultant"] else "-"
    line = flag + ("[" + (subject["objectType"] or "") + "]").ljust(18) + " " + subject["dn"]
    if subject["accountName"]:
        line += "  (" + subject["accountName"]
        line += (" | " + subject["principalName"]) if subject["principalName"] else ""
        line += ")"
    return line + (" ***Nesting Detected***" if subject["nestedMembers"] else "")


def text_blocks(out):
    """The text listing: per policy its fields and its member lines."""
    blocks = []
    lines = out.split("\n")
    for i, line in enumerate(lines):
        if not line.startswith("  Policy #"):
            continue
        fields = {}
        for field_line in lines[i + 1:i + 17]:
            label, _, value = field_line.partition(": ")
            fields[label.strip()] = value
        members = []
        if lines[i + 18] == "    Applied To:":
            for member in lines[i + 19:]:
                if not member:
                    break
                if member != "      NONE":
                    members.append(member[len("      "):])
        blocks.append((fields, members))
    return blocks


class JsonTest(LabTestCase):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.ou = "OU=e2e-json," + cls.base_dn
        cls.direct = "CN=e2ejson-direct," + cls.ou
        cls.member = "CN=e2ejson-member," + cls.ou
        cls.nobody = "CN=e2ejson-nobody," + cls.ou
        cls.inner = "CN=e2ejson-inner," + cls.ou
        cls.outer = "CN=e2ejson-outer," + cls.ou
        cls.a, cls.b, cls.c = (cls.pso_dn(PREFIX + x) for x in "abc")
        cls.own_objects((cls.a, cls.b, cls.c))
        labtest.add_ldif(
            labtest.ou_entry(cls.ou)
            + labtest.user_entry(cls.direct, "e2ejson-direct", "e2ejson-direct@" + cls.domain)
            + labtest.user_entry(cls.member, "e2ejson-member")
            + labtest.user_entry(cls.nobody, "e2ejson-nobody")
            + labtest.group_entry(cls.inner, "e2ejson-inner", [cls.member])
            + labtest.group_entry(cls.outer, "e2ejson-outer", [cls.inner])
            + labtest.pso_entry(cls.a, 901, applies_to=[cls.direct, cls.inner], minlen=12)
            + labtest.pso_entry(cls.b, 900, applies_to=[cls.direct], minlen=16, threshold=5)
            + labtest.pso_entry(cls.c, 902, applies_to=[cls.outer],
                                display_name=ODD_DISPLAY_NAME, minlen=14, maxage=0))
        # The never value of a lockout duration: locked until an administrator
        # unlocks the account.
        labtest.set_values(cls.b, "msDS-LockoutDuration", [labtest.NEVER])

    def document(self, *args):
        """Runs talvex with -json: standard output is one valid document only."""
        out, err, code = self.talvex(*args, "-json")
        self.assertEqual(0, code, err)
        self.assertEqual("", err)
        self.assertTrue(out.endswith("}\n"), out)
        document = json.loads(out)
        VALIDATOR.validate(document)
        self.assertEqual({"site": "Default-First-Site-Name", "name": self.dc_host},
                         document["controller"])
        self.assertEqual({"dn": self.base_dn, "dnsName": self.domain}, document["domain"])
        return document

    def text(self, *args):
        out, err, code = self.talvex("-q", *args)
        self.assertEqual((0, ""), (code, err))
        return out

    def own_psos(self):
        return [labtest.read_pso(dn) for dn in labtest.pso_dns(
            f"(&(objectClass=msDS-PasswordSettings)(name={PREFIX}*))")]

    def test_view_matches_the_directory_and_the_listing(self):
        select = ("-view", "-dompol", "-pso", PREFIX + "*")
        policies = [labtest.read_domain_policy(self.base_dn)] + self.own_psos()
        for sort, order in (((), labtest.default_order),
                            (("-sort", "precedence"), labtest.precedence_order)):
            with self.subTest(sort=sort):
                document = self.document(*select, *sort)
                self.assertEqual("view", document["action"])
                self.assertIsNone(document["globalCatalog"])
                shown = [policy_fields(p) for p in document["policies"]]
                self.assertEqual([p.fields for p in order(policies)], shown)
                self.assertEqual([fields for fields, _ in text_blocks(self.text(*select, *sort))],
                                 [visible(fields) for fields in shown])
        by_name = {p["name"]: p for p in document["policies"]}
        self.assertEqual(ODD_DISPLAY_NAME, by_name[PREFIX + "c"]["displayName"])
        self.assertIsNone(by_name[PREFIX + "b"]["settings"]["lockoutDurationMinutes"])
        self.assertIs(True, by_name[PREFIX + "b"]["settings"]["complexityEnabled"])

    def test_applied_matches_the_directory_and_the_listing(self):
        select = ("-applied", "-pso", PREFIX + "*")
        document = self.document(*select)
        self.assertEqual("applied", document["action"])
        for policy in document["policies"]:
            read = labtest.ldapsearch(
                base=self.base_dn, filter=f"(msDS-PSOApplied={policy['dn']})",
                attributes=["objectClass", "sAMAccountName", "userPrincipalName", "member",
                            "msDS-ResultantPSO"])
            expected = []
            for dn, entry in read:
                first = lambda name: (labtest.attribute(entry, name) or [None])[0]
                resultant = first("msDS-ResultantPSO")
                expected.append({
                    "dn": dn, "objectType": labtest.attribute(entry, "objectClass")[-1],
                    "accountName": first("sAMAccountName"),
                    "principalName": first("userPrincipalName"),
                    "resultant": None if resultant is None
                    else resultant.lower() == policy["dn"].lower(),
                    "nestedMembers": any(k.lower().startswith("member") for k in entry)})
            self.assertEqual(expected, policy["appliedTo"], policy["dn"])
        a = next(p for p in document["policies"] if p["dn"] == self.a)
        self.assertEqual({self.direct: False, self.inner: None},
                         {s["dn"]: s["resultant"] for s in a["appliedTo"]})
        self.assertEqual([[member_line(s) for s in p["appliedTo"]] for p in document["policies"]],
                         [members for _, members in text_blocks(self.text(*select))])

    def test_effective_matches_the_directory_and_the_answer(self):
        cases = [
            # user, how the PSOs reach it
            ("e2ejson-direct", self.direct,
             [(self.a, "user", None), (self.b, "user", None)]),
            ("e2ejson-member", self.member,
             [(self.a, "group", self.inner), (self.c, "group", self.outer)]),
            ("e2ejson-nobody", self.nobody, []),
        ]
        for account, dn, applied in cases:
            with self.subTest(user=account):
                document = self.document("-effective", account)
                entry = labtest.read_entry(dn, ["sAMAccountName", "userPrincipalName",
                                                "msDS-ResultantPSO"])
                upn = (labtest.attribute(entry, "userPrincipalName") or [None])[0]
                resultant = (labtest.attribute(entry, "msDS-ResultantPSO") or [None])[0]
                self.assertEqual({"dn": dn, "objectType": "user", "accountName": account,
                                  "principalName": upn}, document["user"])
                self.assertEqual(sorted(applied), sorted(
                    (p["dn"], p["through"], p["groupDn"]) for p in document["appliedPolicies"]))
                self.assertEqual(resultant, document["directoryResultantPso"])
                effective = document["effectivePolicy"]
                policy = (labtest.read_pso(resultant) if resultant
                          else labtest.read_domain_policy(self.base_dn))
                self.assertEqual(("pso" if resultant else "domainPolicy", policy.dn),
                                 (effective["source"], effective["dn"]))
                self.assertEqual(policy.fields, policy_fields(effective["policy"]))
                # The text answer of the same command agrees.
                out = self.text("-effective", account)
                self.assertIn(f"\nUser: {account} | {upn or ''} | {dn}\n", out)
                named = [p["dn"] for p in document["appliedPolicies"] if p["through"] == "user"]
                self.assertIn("\nApplied PSOs:\n" + "".join(f"  {p}\n" for p in named)
                              if named else "\nApplied PSOs:\n  NONE \n", out)
                label = resultant or "Domain Policy " + self.domain
                self.assertIn(f"\nEffective PSO: {label}\n" + policy.block(), out)
        self.assertEqual(self.b, self.document("-effective", "e2ejson-direct")
                         ["effectivePolicy"]["dn"])

    def test_failures_leave_standard_output_empty(self):
        # Others may write to the shared lab meanwhile: the PSO the refused
        # runs name is checked, not the whole directory.
        before = labtest.read_entry(self.a, ["uSNChanged"])
        wrong = ("-view", "-pso", "-json", "-u", "Administrator@" + self.domain,
                 "-up", "wrong", "-simple")
        out, err, code = self.talvex(*wrong)
        self.assertEqual(("", 49), (out, code))
        self.assertIn(f"Error 0x31 (49) - {labtest.ldap_error_text(49)}\n", err)
        self.assertTrue(err.endswith("\nThe command did not complete successfully.\n"), err)
        refusal = ("ERROR:\nERROR: -json is only valid with -view, -applied or -effective.\n"
                   "ERROR:\n" + labtest.USAGE_HINT)
        for action in (("-add", PREFIX + "new::950", "-forreal"),
                       ("-del", "-pso", PREFIX + "a", "-override", "-forreal"),
                       ("-mod", "::::20", "-pso", PREFIX + "a", "-forreal"),
                       ("-clearapplied", "-pso", PREFIX + "a", "-forreal")):
            with self.subTest(action=action[0]):
                self.assertEqual(("", refusal, 1), self.talvex(*action, "-json"))
        self.assertEqual(before, labtest.read_entry(self.a, ["uSNChanged"]))
        self.assertEqual([], labtest.pso_dns(
            f"(&(objectClass=msDS-PasswordSettings)(name={PREFIX}new))"))

    def test_readme_jq_example(self):
        with open(README_PATH, encoding="utf-8") as readme:
            program = re.search(r"talvex -view -pso -json \| jq -r '([^']+)'",
                                readme.read()).group(1)
        out, err, code = self.talvex("-view", "-pso", PREFIX + "*", "-json")
        self.assertEqual((0, ""), (code, err))
        done = subprocess.run(["jq", "-r", program], input=out.encode(), capture_output=True,
                              check=True, timeout=labtest.LDAP_TIMEOUT)
        expected = sorted(p.dn for p in self.own_psos()
                          if int(p.fields["Min Pwd Length"]) < 14)
        self.assertEqual(expected, sorted(done.stdout.decode().split("\n")[:-1]))


if __name__ == "__main__":
    unittest.main()
