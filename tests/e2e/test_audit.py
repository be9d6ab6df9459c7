"""End-to-end tests of -audit against the lab domain controller.

The suite makes its own PSOs (named e2eaud-...), users and groups: PSOs at
the boundaries of the CIS and NIST profiles and one step past them, two PSOs
tied on precedence over one user, an unused PSO, a PSO linked to groups it
has no effect on (added with ldapadd, since -applyto refuses them) and one
holding values Windows would refuse. What talvex finds is compared with the
baselines restated here and with the directory read back with ldapsearch;
every document is validated against the published schema. An audit writes
nothing: the objects' uSNChanged stay as they were.
"""

import json
import os
import tempfile

import jsonschema

import labtest
from labtest import LabTestCase, SUCCESS_TAIL, USAGE_HINT

PREFIX = "e2eaud-"
SCHEMA_PATH = os.path.join(labtest.SOURCE_DIR, "docs", "talvex-output.schema.json")
PROFILE_SCHEMA_PATH = os.path.join(labtest.SOURCE_DIR, "docs",
                                   "talvex-audit-profile.schema.json")
with open(SCHEMA_PATH, encoding="utf-8") as schema_file:
    VALIDATOR = jsonschema.Draft202012Validator(json.load(schema_file))

NEVER = -1
INF = float("inf")


def longest(value):
    """Never is the longest duration."""
    return INF if value == NEVER else value


# The baselines as the issue states them, on settings in talvex's units.
PROFILES = {
    "cis": {
        "passwordHistoryLength": lambda v: v >= 24,
        "maxPasswordAgeDays": lambda v: v != NEVER and v <= 365,
        "minPasswordAgeDays": lambda v: v >= 1,
        "minPasswordLength": lambda v: v >= 14,
        "complexityEnabled": lambda v: v is True,
        "reversibleEncryptionEnabled": lambda v: v is False,
        "lockoutDurationMinutes": lambda v: longest(v) >= 15,
        "lockoutThreshold": lambda v: 1 <= v <= 5,
        "lockoutObservationWindowMinutes": lambda v: longest(v) >= 15,
    },
    "stig": {
        "passwordHistoryLength": lambda v: v >= 24,
        "maxPasswordAgeDays": lambda v: v != NEVER and v <= 60,
        "minPasswordAgeDays": lambda v: v >= 1,
        "minPasswordLength": lambda v: v >= 14,
        "complexityEnabled": lambda v: v is True,
        "reversibleEncryptionEnabled": lambda v: v is False,
        "lockoutDurationMinutes": lambda v: longest(v) >= 15,
        "lockoutThreshold": lambda v: 1 <= v <= 3,
        "lockoutObservationWindowMinutes": lambda v: longest(v) >= 15,
    },
    "msbaseline": {
        "passwordHistoryLength": lambda v: v >= 24,
        "minPasswordLength": lambda v: v >= 14,
        "complexityEnabled": lambda v: v is True,
        "reversibleEncryptionEnabled": lambda v: v is False,
        "lockoutDurationMinutes": lambda v: longest(v) >= 10,
        "lockoutThreshold": lambda v: 1 <= v <= 10,
        "lockoutObservationWindowMinutes": lambda v: longest(v) >= 10,
    },
    "nist": {
        "maxPasswordAgeDays": lambda v: v == NEVER,
        "minPasswordLength": lambda v: v >= 15,
        "complexityEnabled": lambda v: v is False,
        "reversibleEncryptionEnabled": lambda v: v is False,
        "lockoutThreshold": lambda v: 1 <= v <= 100,
    },
}

# Display label of the listing, JSON key, which way is stronger.
SETTINGS = (
    ("Lockout Threshold", "lockoutThreshold", "lower-not-off"),
    ("Lockout Duration", "lockoutDurationMinutes", "longer"),
    ("Lockout Observation", "lockoutObservationWindowMinutes", "longer"),
    ("Min Pwd Age", "minPasswordAgeDays", "higher"),
    ("Max Pwd Age", "maxPasswordAgeDays", "shorter"),
    ("Min Pwd Length", "minPasswordLength", "higher"),
    ("Pwd History", "passwordHistoryLength", "higher"),
    ("Pwd Complexity", "complexityEnabled", "true"),
    ("Pwd Reversible", "reversibleEncryptionEnabled", "false"),
)


def stronger(direction, a, b):
    if direction == "higher":
        return a > b
    if direction == "longer":
        return longest(a) > longest(b)
    if direction == "shorter":
        return longest(a) < longest(b)
    if direction == "lower-not-off":
        return a != 0 and (b == 0 or a < b)
    if direction == "true":
        return a and not b
    return not a and b


def settings_of(policy):
    """A labtest.Policy's settings by JSON key, in talvex's units."""
    values = {}
    for label, key, _ in SETTINGS:
        text = policy.fields[label]
        values[key] = text == "TRUE" if text in ("TRUE", "FALSE") else int(text)
    return values


def json_value(key, value):
    """A setting's value as the document carries it (never: null)."""
    if isinstance(value, bool):
        return value
    if key.endswith(("Minutes", "Days")) and value == NEVER:
        return None
    return value


def group_entry(dn, account, group_type):
    return (f"dn: {dn}\nobjectClass: group\nsAMAccountName: {account}\n"
            f"groupType: {group_type}\n\n")


class AuditTest(LabTestCase):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.ou = "OU=e2e-audit," + cls.base_dn
        in_ou = lambda name: f"CN={name},{cls.ou}"
        cls.user, cls.tied_user = in_ou("e2eaud-user"), in_ou("e2eaud-tied")
        cls.global_group = in_ou("e2eaud-global")
        # groupType (MS-ADTS 2.2.12): security 0x80000000 with universal 8 or
        # domain-local 4; a distribution group has no security bit.
        cls.groups = {
            in_ou("e2eaud-universal"): ("-2147483640", "universal security group"),
            in_ou("e2eaud-local"): ("-2147483644", "domain-local security group"),
            in_ou("e2eaud-distribution"): ("2", "global distribution group"),
        }
        names = ("cis-pass", "cis-fail", "nist-pass", "tie-a", "tie-b", "unused",
                 "ineffective", "winrule")
        cls.dn = {name: cls.pso_dn(PREFIX + name) for name in names}
        cls.own_objects(tuple(cls.dn.values()))
        cis_pass = dict(history=24, maxage=365, minage=1, minlen=14, complexity=True,
                        reversible=False, duration=15, threshold=5, window=15)
        cis_fail = dict(history=23, maxage=366, minage=0, minlen=13, complexity=False,
                        reversible=True, duration=14, threshold=6, window=14)
        nist_pass = dict(maxage=-1, minlen=15, complexity=False, reversible=False,
                         threshold=100, duration=30, window=30, minage=1, history=24)
        plain = dict(threshold=3, duration=30, window=30, maxage=60, minage=1, minlen=14,
                     history=24, complexity=True, reversible=False)
        labtest.add_ldif(
            labtest.ou_entry(cls.ou)
            + labtest.user_entry(cls.user, "e2eaud-user")
            + labtest.user_entry(cls.tied_user, "e2eaud-tied")
            + labtest.group_entry(cls.global_group, "e2eaud-global")
            + "".join(group_entry(dn, dn[3:].split(",")[0], kind)
                      for dn, (kind, _) in cls.groups.items())
            + labtest.pso_entry(cls.dn["cis-pass"], 701, [cls.user], **cis_pass)
            + labtest.pso_entry(cls.dn["cis-fail"], 702, [cls.global_group], **cis_fail)
            + labtest.pso_entry(cls.dn["nist-pass"], 703, [cls.user], **nist_pass)
            + labtest.pso_entry(cls.dn["tie-a"], 710, [cls.tied_user], **plain)
            + labtest.pso_entry(cls.dn["tie-b"], 710, [cls.tied_user, cls.user], **plain)
            + labtest.pso_entry(cls.dn["unused"], 720, **plain)
            + labtest.pso_entry(cls.dn["ineffective"], 730, list(cls.groups), **plain)
            # Samba stores what Windows refuses: a window longer than the
            # lockout, a minimum age above the maximum.
            + labtest.pso_entry(cls.dn["winrule"], 740, [cls.user],
                                **dict(plain, window=45, minage=70)))
        cls.policies = {dn: labtest.read_pso(dn) for dn in cls.dn.values()}
        cls.domain_policy = labtest.read_domain_policy(cls.base_dn)

    def audit_json(self, *args, code=None):
        out, err, rc = self.talvex("-q", "-json", "-audit", *args)
        self.assertEqual("", err)
        document = json.loads(out)
        VALIDATOR.validate(document)
        expected = 2 if document["findings"] else 0
        self.assertEqual(expected if code is None else code, rc, out)
        return document

    def everything(self):
        """All of this suite's PSOs and the domain policy."""
        return ["-pso", PREFIX + "*", "-dompol"]

    def usn_changed(self):
        dns = [self.base_dn, self.ou] + list(self.dn.values()) + list(self.groups)
        return {dn: labtest.attribute(labtest.read_entry(dn, ["uSNChanged"]), "uSNChanged")
                for dn in dns}

    # ---- the baselines -------------------------------------------------------------

    def test_each_built_in_profile_finds_exactly_what_its_baseline_implies(self):
        before = self.usn_changed()
        audited = dict(self.policies, **{self.base_dn: self.domain_policy})
        for profile, rules in PROFILES.items():
            with self.subTest(profile=profile):
                document = self.audit_json(profile, *self.everything())
                self.assertEqual(profile, document["profile"]["name"])
                self.assertEqual(sorted(audited, key=str.lower),
                                 sorted((p["dn"] for p in document["policies"]), key=str.lower))
                expected = set()
                for dn, policy in audited.items():
                    settings = settings_of(policy)
                    for key, passes in rules.items():
                        if not passes(settings[key]):
                            expected.add((dn, key, json.dumps(json_value(key, settings[key]))))
                found = {(f["dn"], f["setting"], json.dumps(f["found"]))
                         for f in document["findings"] if f["rule"] == profile}
                self.assertEqual(expected, found)
        # The boundaries are where they should be: at the boundary nothing,
        # one step past it every setting.
        cis = self.audit_json("cis", "-pso", PREFIX + "cis-*")
        failing = {f["setting"] for f in cis["findings"] if f["rule"] == "cis"
                   and f["dn"] == self.dn["cis-fail"]}
        self.assertEqual(set(PROFILES["cis"]), failing)
        self.assertFalse([f for f in cis["findings"] if f["dn"] == self.dn["cis-pass"]])
        nist = self.audit_json("nist", "-pso", PREFIX + "nist-pass")
        self.assertEqual([], nist["findings"])
        self.assertEqual(before, self.usn_changed())

    def test_text_of_a_passing_and_a_failing_policy(self):
        heading = ("Audit Against Profile cis (CIS Microsoft Windows Server 2025 Benchmark"
                   " v1.0.0, Level 1)")
        head = (self.using_host + "Retrieving PSOs...\n\n" + heading + "\n"
                + "-" * len(heading) + "\n")
        self.assertRun(
            ["-q", "-audit", "cis", "-pso", PREFIX + "cis-pass"],
            head + f"  Policy #1: {PREFIX}cis-pass\n    DN: {self.dn['cis-pass']}\n"
            "    Meets the profile.\n\n"
            "\nCross-Policy Findings\n---------------------\n  NONE\n\n"
            "Audited 1 policy: 0 against the profile, 0 cross-policy, 0 findings in all.\n"
            + SUCCESS_TAIL, code=0)
        self.assertRun(
            ["-q", "-audit", "cis", "-pso", PREFIX + "cis-fail"],
            head + f"  Policy #1: {PREFIX}cis-fail\n    DN: {self.dn['cis-fail']}\n"
            "    Lockout Threshold  : 6  (required: 1 to 5; cis)\n"
            "    Lockout Duration   : 14  (required: 15 or more; cis)\n"
            "    Lockout Observation: 14  (required: 15 or more; cis)\n"
            "    Min Pwd Age        : 0  (required: 1 or more; cis)\n"
            "    Max Pwd Age        : 366  (required: 365 or less, not never; cis)\n"
            "    Min Pwd Length     : 13  (required: 14 or more; cis)\n"
            "    Pwd History        : 23  (required: 24 or more; cis)\n"
            "    Pwd Complexity     : FALSE  (required: TRUE; cis)\n"
            "    Pwd Reversible     : TRUE  (required: FALSE; cis)\n\n"
            "\nCross-Policy Findings\n---------------------\n"
            f"  [reversibleOn] {self.dn['cis-fail']}\n"
            "    Pwd Reversible     : TRUE  passwords are stored with reversible encryption\n"
            "\nAudited 1 policy: 9 against the profile, 1 cross-policy, 10 findings in all.\n"
            + SUCCESS_TAIL, code=2)

    # ---- the policies against each other ---------------------------------------------

    def test_cross_policy_rules(self):
        document = self.audit_json("msbaseline", *self.everything())
        found = {(f["dn"], f["setting"], f["rule"])
                 for f in document["findings"] if f["rule"] != "msbaseline"}
        expected = set()
        domain = settings_of(self.domain_policy)
        everything = dict(self.policies, **{self.base_dn: self.domain_policy})
        for dn, policy in everything.items():
            settings = settings_of(policy)
            if dn != self.base_dn:
                for _, key, direction in SETTINGS:
                    if stronger(direction, domain[key], settings[key]):
                        expected.add((dn, key, "weakerThanDomain"))
            if settings["lockoutThreshold"] == 0:
                expected.add((dn, "lockoutThreshold", "lockoutOff"))
            if settings["reversibleEncryptionEnabled"]:
                expected.add((dn, "reversibleEncryptionEnabled", "reversibleOn"))
        expected |= {(self.dn["tie-a"], None, "precedenceTie"),
                     (self.dn["tie-b"], None, "precedenceTie"),
                     (self.dn["unused"], None, "unused"),
                     (self.dn["ineffective"], None, "ineffectiveSubject"),
                     (self.dn["winrule"], "lockoutObservationWindowMinutes", "windowsRule"),
                     (self.dn["winrule"], "minPasswordAgeDays", "windowsRule")}
        self.assertEqual(expected, found)

        # One finding per group the PSO has no effect on, naming its kind.
        details = [f["detail"] for f in document["findings"]
                   if f["rule"] == "ineffectiveSubject"]
        self.assertEqual(len(self.groups), len(details))
        for dn, (_, kind) in self.groups.items():
            self.assertEqual(1, sum(dn in d and f"is a {kind};" in d for d in details), details)
        self.assertEqual(1, sum("Samba 4.17 counts universal security groups" in d
                                for d in details))

    def test_precedence_tie_names_the_lowest_stored_guid_as_the_directory_does(self):
        document = self.audit_json("nist", "-pso", PREFIX + "tie-*")
        guids = {dn: labtest.object_guid(dn) for dn in (self.dn["tie-a"], self.dn["tie-b"])}
        lowest = min(guids, key=guids.get)  # bytes compare byte by byte
        resultant = labtest.attribute(
            labtest.read_entry(self.tied_user, ["msDS-ResultantPSO"]), "msDS-ResultantPSO")
        self.assertEqual([lowest.lower()], [r.lower() for r in resultant])
        ties = [f for f in document["findings"] if f["rule"] == "precedenceTie"]
        self.assertEqual(2, len(ties))
        for finding in ties:
            self.assertEqual(lowest, finding["picked"])
            self.assertIn("shared subjects: " + self.tied_user, finding["detail"])

    # ---- a profile file ----------------------------------------------------------------

    def profile_file(self, text_):
        # In /tmp, which the lab namespace shares: an absolute path, which
        # the switch syntax must take as a value, not as a switch.
        handle, path = tempfile.mkstemp(prefix="e2eaud-", suffix=".json", dir="/tmp")
        with os.fdopen(handle, "w", encoding="utf-8") as f:
            f.write(text_)
        self.addCleanup(os.remove, path)
        return path

    def test_profile_file(self):
        profile = {"name": "corp", "title": "Corp rules",
                   "settings": {"minPasswordLength": {"minimum": 15},
                                "lockoutDurationMinutes": {"required": "never"}}}
        with open(PROFILE_SCHEMA_PATH, encoding="utf-8") as f:
            jsonschema.Draft202012Validator(json.load(f)).validate(profile)
        path = self.profile_file(json.dumps(profile))
        document = self.audit_json(path, "-pso", PREFIX + "cis-*")
        self.assertEqual({(self.dn["cis-pass"], "minPasswordLength", 14),
                          (self.dn["cis-pass"], "lockoutDurationMinutes", 15),
                          (self.dn["cis-fail"], "minPasswordLength", 13),
                          (self.dn["cis-fail"], "lockoutDurationMinutes", 14)},
                         {(f["dn"], f["setting"], f["found"]) for f in document["findings"]
                          if f["rule"] == "corp"})

    def test_bad_profile_file_is_refused_before_the_directory(self):
        path = self.profile_file('{"name": "corp", "settings": {"minPasswordLength": '
                                 '{"minimum": 300}}}')
        self.assertRun(["-q", "-audit", path],
                       "ERROR:\n"
                       f"ERROR: Bad audit profile file {path}.\n"
                       "ERROR: At /settings/minPasswordLength/minimum: out of range 0 to 255.\n"
                       "ERROR:\n" + USAGE_HINT, code=1)
        missing = "/tmp/e2eaud-no-such-profile.json"
        self.assertRun(["-q", "-audit", missing],
                       "ERROR:\n"
                       f"ERROR: Cannot read the audit profile file {missing}.\n"
                       "ERROR: -audit takes cis, stig, msbaseline, nist or a file.\n"
                       "ERROR:\n" + USAGE_HINT, code=1)

    # ---- links to groups a PSO has no effect on -----------------------------------------

    def test_applyto_refuses_a_group_without_effect_unless_override(self):
        before = self.usn_changed()
        universal = next(iter(self.groups))
        self.assertRun(["-q", "-applyto", universal, "-pso", PREFIX + "unused"],
                       self.using_host + "Retrieving PSOs...\n"
                       "ERROR:\n"
                       f"ERROR: {universal} is a universal security group; the PSO would "
                       "have no effect on it.\n"
                       "ERROR: A PSO applies only to users, inetOrgPersons and global security"
                       " groups.\n"
                       "ERROR: Use -override to link it all the same.\n"
                       "ERROR:\n" + USAGE_HINT, code=1)
        out, _, code = self.talvex("-q", "-applyto", universal, "-pso", PREFIX + "unused",
                                   "-override")
        self.assertEqual(0, code, out)
        self.assertIn("Modification to make had this been for real.", out)
        self.assertEqual(before, self.usn_changed())

    def test_applied_marks_groups_without_effect(self):
        out, _, code = self.talvex("-q", "-applied", "-pso", PREFIX + "ineffective")
        self.assertEqual(0, code, out)
        for dn, (_, kind) in self.groups.items():
            line = next(l for l in out.splitlines() if dn in l)
            self.assertTrue(line.endswith(f" ***No Effect: {kind}***"), line)
        out, _, _ = self.talvex("-q", "-json", "-applied", "-pso", PREFIX + "ineffective")
        document = json.loads(out)
        VALIDATOR.validate(document)
        self.assertEqual({dn: kind for dn, (_, kind) in self.groups.items()},
                         {s["dn"]: s["noEffect"] for s in document["policies"][0]["appliedTo"]})


if __name__ == "__main__":
    import unittest
    unittest.main()
