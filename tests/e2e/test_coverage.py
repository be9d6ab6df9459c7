"""End-to-end tests of -coverage: the policy that governs every account.

The suite makes its own OU of accounts (named e2ecov-...) under nested
global groups (three levels), a user named by a PSO and reached through a
group, two PSOs tied on precedence, a universal group linked with ldapadd
(-applyto refuses it), and accounts that are disabled, whose password never
expires, or privileged. Every row is compared with the answer stated here
and with msDS-ResultantPSO read independently with ldapsearch; documents are
validated against the published schema; a run writes nothing.
"""

import json
import os

import jsonschema

import labtest
from labtest import LabTestCase, SUCCESS_TAIL, USAGE_HINT

SCHEMA_PATH = os.path.join(labtest.SOURCE_DIR, "docs", "talvex-output.schema.json")
with open(SCHEMA_PATH, encoding="utf-8") as schema_file:
    VALIDATOR = jsonschema.Draft202012Validator(json.load(schema_file))


def entry(dn, classes, account, *lines):
    return "\n".join([f"dn: {dn}"] + [f"objectClass: {c}" for c in classes]
                     + [f"sAMAccountName: {account}"] + list(lines)) + "\n\n"


class CoverageTest(LabTestCase):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.ou = "OU=e2e-coverage," + cls.base_dn
        dn = lambda name: f"CN=e2ecov-{name},{cls.ou}"
        cls.dn = {n: dn(n) for n in ("both", "deep", "tie", "univ", "priv", "inetorg",
                                     "inner", "mid", "outer", "universal", "wks")}
        cls.pso = {n: cls.pso_dn("e2ecov-" + n)
                   for n in ("direct", "deep", "tie-a", "tie-b", "universal")}
        cls.own_objects(tuple(cls.pso.values()))
        d, p = cls.dn, cls.pso
        # userAccountControl (MS-ADTS 2.2.16): a new user without one is
        # 0x222 (disabled, no password required); 0x220 is enabled, 0x10000
        # never expires.
        enabled = "userAccountControl: 544"
        global_group = "groupType: -2147483646"
        labtest.add_ldif(
            labtest.ou_entry(cls.ou)
            + entry(d["both"], ["user"], "e2ecov-both",
                    f"userPrincipalName: e2ecov-both@{cls.domain}")
            + entry(d["deep"], ["user"], "e2ecov-deep", "userAccountControl: 66082")
            + entry(d["tie"], ["user"], "e2ecov-tie", enabled)
            + entry(d["univ"], ["user"], "e2ecov-univ")
            + entry(d["priv"], ["user"], "e2ecov-priv", enabled, "adminCount: 1")
            + entry(d["inetorg"], ["inetOrgPerson"], "e2ecov-inetorg")
            + labtest.computer_entry(d["wks"], "E2ECOVWKS$")
            + entry(d["inner"], ["group"], "e2ecov-inner", global_group,
                    f"member: {d['deep']}", f"member: {d['both']}", f"member: {d['wks']}")
            + entry(d["mid"], ["group"], "e2ecov-mid", global_group,
                    f"member: {d['inner']}", f"member: {d['inetorg']}")
            + entry(d["outer"], ["group"], "e2ecov-outer", global_group, f"member: {d['mid']}")
            # A universal security group: Windows ignores the link, Samba
            # counts it.
            + entry(d["universal"], ["group"], "e2ecov-universal", "groupType: -2147483640",
                    f"member: {d['univ']}", f"member: {d['deep']}")
            + labtest.pso_entry(p["direct"], 901, [d["both"]])
            + labtest.pso_entry(p["deep"], 900, [d["outer"]])
            + labtest.pso_entry(p["tie-a"], 910, [d["tie"]])
            + labtest.pso_entry(p["tie-b"], 910, [d["tie"]])
            + labtest.pso_entry(p["universal"], 905, [d["universal"]]))
        ties = sorted((p["tie-a"], p["tie-b"]), key=labtest.object_guid)  # byte order
        cls.tie_winner, cls.tie_loser = ties
        # The answer, by account: PSO, reason, group, outranked, tie, marks.
        passwordless = ["disabled", "passwordNotRequired"]
        cls.expected = {
            d["both"]: (p["direct"], "direct", None, [p["deep"]], False, passwordless),
            d["deep"]: (p["deep"], "group", d["outer"], [], False,
                        ["disabled", "passwordNeverExpires", "passwordNotRequired"]),
            d["inetorg"]: (p["deep"], "group", d["outer"], [], False, passwordless),
            d["priv"]: (None, "domain", None, [], False, ["passwordNotRequired", "privileged"]),
            d["tie"]: (cls.tie_winner, "direct", None, [cls.tie_loser], True,
                       ["passwordNotRequired"]),
            d["univ"]: (None, "domain", None, [], False, passwordless),
        }

    def resultant(self, dn):
        values = labtest.attribute(labtest.read_entry(dn, ["msDS-ResultantPSO"]),
                                   "msDS-ResultantPSO")
        return values[0] if values else None

    def coverage_json(self, *args):
        out, err, code = self.talvex("-q", "-json", "-coverage", *args)
        self.assertEqual((0, ""), (code, err), out)
        document = json.loads(out)
        VALIDATOR.validate(document)
        return document

    def usn_changed(self):
        return {dn: labtest.attribute(labtest.read_entry(dn, ["uSNChanged"]), "uSNChanged")
                for dn in list(self.dn.values()) + list(self.pso.values())}

    def test_every_row_is_the_stated_answer_and_set_beside_the_directory(self):
        before = self.usn_changed()
        document = self.coverage_json("-base", self.ou)
        (domain,) = document["coverage"]
        self.assertEqual(self.ou, domain["base"])
        rows = {a["dn"]: a for a in domain["accounts"]}
        self.assertEqual(sorted(self.expected), sorted(rows))  # no computer
        self.assertEqual(sorted(self.expected, key=str.lower), list(rows))  # by name
        # Samba counts the universal group, Windows does not: the only row
        # where the directory differs, and it says why.
        self.assertEqual(self.pso["universal"], self.resultant(self.dn["univ"]))
        for dn, (pso, reason, group, outranked, tie, marks) in self.expected.items():
            with self.subTest(account=dn):
                row = rows[dn]
                self.assertEqual((pso, reason, group, outranked, tie, marks),
                                 (row["pso"], row["reason"], row["groupDn"], row["outranked"],
                                  row["tie"], row["marks"]))
                directory = self.resultant(dn)
                self.assertEqual(directory, row["directoryResultantPso"])
                universal = self.dn["universal"] if dn == self.dn["univ"] else None
                self.assertEqual(("differs" if universal else "agrees", universal),
                                 (row["check"], row["universalGroupDn"]))
        counts = {p["dn"]: p["accounts"] for p in domain["policies"]}
        self.assertEqual({self.pso["direct"]: 1, self.pso["deep"]: 2, self.tie_winner: 1,
                          self.tie_loser: 0, self.pso["universal"]: 0, self.base_dn: 2},
                         {dn: counts[dn] for dn in list(self.pso.values()) + [self.base_dn]})
        # The same rows when the whole forest is covered.
        everything = self.coverage_json("-alldoms")
        self.assertEqual(domain["accounts"],
                         [a for a in everything["coverage"][0]["accounts"] if a["dn"] in rows])
        self.assertEqual(before, self.usn_changed())

    def test_text_listing(self):
        psos = [labtest.read_pso(dn) for dn in labtest.pso_dns()]
        psos.sort(key=lambda p: (p.precedence, labtest.object_guid(p.dn)))
        counts = {self.pso["direct"]: 1, self.pso["deep"]: 2, self.tie_winner: 1}
        e = self.expected
        line = lambda dn, name, reason, upn="": (
            f"      {name} | {upn} | {dn} | {reason} | {', '.join(e[dn][5])}\n")
        rows = {
            self.pso["direct"]: line(self.dn["both"], "e2ecov-both", "direct",
                                     f"e2ecov-both@{self.domain}")
            + f"        outranks: {self.pso['deep']}\n",
            self.pso["deep"]: line(self.dn["deep"], "e2ecov-deep", "group " + self.dn["outer"])
            + line(self.dn["inetorg"], "e2ecov-inetorg", "group " + self.dn["outer"]),
            self.tie_winner: line(self.dn["tie"], "e2ecov-tie", "direct (tie)")
            + f"        outranks: {self.tie_loser}\n",
        }
        text = (self.using_host + "Retrieving Domain Policy...\nRetrieving PSOs...\n\n"
                f"Policy Coverage of {self.domain}\n" + "-" * len(f"Policy Coverage of {self.domain}")
                + f"\n  Accounts under {self.ou}\n\n")
        for pso in psos:
            text += (f"  PSO {pso.fields['Name']}, precedence {pso.precedence}\n"
                     f"    DN: {pso.dn}\n    Accounts: {counts.get(pso.dn, 0)}\n"
                     + rows.get(pso.dn, "") + "\n")
        text += (f"  Domain Policy {self.domain}\n    DN: {self.base_dn}\n    Accounts: 2\n"
                 + line(self.dn["priv"], "e2ecov-priv", "domain")
                 + line(self.dn["univ"], "e2ecov-univ", "domain")
                 + f"        directory: {self.pso['universal']} (differs: it counts universal"
                 f" security group {self.dn['universal']}, as Samba does)\n"
                 "\nSummary\n-------\n"
                 + "".join(f"  {p.fields['Name']}: {counts.get(p.dn, 0)}\n" for p in psos)
                 + f"  Domain Policy {self.domain}: 2\n"
                 f"  Privileged accounts on the domain policy: 1\n"
                 f"    e2ecov-priv | {self.dn['priv']}\n"
                 f"  Decided by a precedence tie: 1\n    e2ecov-tie | {self.dn['tie']}\n"
                 "  msDS-ResultantPSO: 5 agree, 1 differ, 0 unreadable\n"
                 "\nCovered 6 accounts: 4 by a PSO, 2 by the domain policy.\n")
        self.assertRun(["-q", "-coverage", "-base", self.ou], text + SUCCESS_TAIL)

    def test_plain_user_cannot_read_the_psos(self):
        # PSOs are hidden from a plain user; Samba still shows it every
        # account's msDS-ResultantPSO and msDS-PSOApplied. Where one PSO
        # reaches an account the answer stands; where two compete nothing is
        # guessed.
        env = labtest.require_lab()
        bind = ["-u", "bob@" + self.domain, "-up", env["LAB_USER_PASSWORD"], "-simple"]
        document = self.coverage_json("-base", self.ou, *bind)
        (domain,) = document["coverage"]
        self.assertFalse([p for p in domain["policies"]
                          if p["type"] == "pso" and p["readable"]])
        rows = {a["dn"]: a for a in domain["accounts"]}
        for dn, (pso, reason, group, _, _, _) in self.expected.items():
            with self.subTest(account=dn):
                row = rows[dn]
                self.assertEqual(self.resultant(dn), row["directoryResultantPso"])
                if dn == self.dn["tie"]:
                    self.assertEqual((None, "direct", True, "unreadable"),
                                     (row["pso"], row["reason"], row["undetermined"],
                                      row["check"]))
                    self.assertEqual(sorted(self.pso[t] for t in ("tie-a", "tie-b")),
                                     sorted(row["outranked"]))
                else:
                    self.assertEqual((pso, reason, group), (row["pso"], row["reason"],
                                                            row["groupDn"]))
        self.assertEqual(1, domain["undetermined"])
        out, _, code = self.talvex("-q", "-coverage", "-base", self.ou, *bind)
        self.assertEqual(0, code, out)
        self.assertIn("\n  Undetermined: PSOs that cannot be read with the rights of this"
                      " account compete\n    Accounts: 1\n", out)
        self.assertIn("\nWARN: The account of this bind lacks the rights to read these PSOs",
                      out)

    def test_refusals_before_the_directory(self):
        for args, message in ((["-coverage", "-base"],
                               "Must specify the DN of a subtree for -base."),
                              (["-coverage", "-alldoms", "-base", self.ou],
                               "-base cannot be used with -alldoms."),
                              (["-view", "-pso", "-base", self.ou],
                               "-base is only valid with -coverage."),
                              (["-coverage", "-effective", "x"],
                               "Only one Action switch can be specified.")):
            with self.subTest(args=args):
                out, _, code = labtest.run_talvex("-q", *args, lab=False)
                self.assertEqual((f"ERROR:\nERROR: {message}\nERROR:\n" + USAGE_HINT, 1),
                                 (out, code))


if __name__ == "__main__":
    import unittest
    unittest.main()
