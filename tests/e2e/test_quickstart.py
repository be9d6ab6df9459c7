"""-quickstart against the lab: the three PSOs and their settings, derived
from the lab's domain policy (also changed for the 30-day and threshold-10
cases, and restored), a dry run that writes nothing, and a second run that
skips all three."""

import unittest

from labtest import (ChangesTestCase, DAY, DEFAULT_SETTINGS, MINUTE, NOT_FOR_REAL, Policy,
                     SUCCESS_TAIL, attribute, domain_policy_settings, domain_policy_values,
                     pso_values, read_entry, text, write_domain_policy)


def tighten(to, source):
    """The stricter of two policies, setting by setting. -1 (never) is the
    longest duration; a threshold of 0 (no lockout) the loosest."""
    def longest(a, b):
        return -1 if -1 in (a, b) else max(a, b)

    result = dict(to)
    for key in ("duration", "window"):
        result[key] = longest(to[key], source[key])
    for key in ("minage", "minlen", "history"):
        result[key] = max(to[key], source[key])
    if source["threshold"] != 0 and (to["threshold"] == 0 or
                                     source["threshold"] < to["threshold"]):
        result["threshold"] = source["threshold"]
    if to["maxage"] == -1 or (source["maxage"] != -1 and source["maxage"] < to["maxage"]):
        result["maxage"] = source["maxage"]
    result["complexity"] = to["complexity"] or source["complexity"]
    result["reversible"] = to["reversible"] and source["reversible"]
    return result


class QuickStartTest(ChangesTestCase):

    def setUp(self):
        self.names = [f"DomPol_{self.domain}", "pwd_policy_admin", "pwd_policy_serviceid"]
        self.dns = [self.made(name) for name in self.names]

    def expected(self, domain_values):
        """(name, display name, precedence, settings) of the three PSOs."""
        domain = domain_policy_settings(domain_values)
        admin = tighten(dict(DEFAULT_SETTINGS, maxage=35), domain)
        service = tighten(dict(DEFAULT_SETTINGS), domain)
        service.update(maxage=364, threshold=0, duration=0, window=0)
        return [
            (self.names[0], f"TALVEX: Copy of Domain Policy for {self.domain}", 2147483646,
             domain),
            (self.names[1], "TALVEX: Admin Password Policy", 100, admin),
            (self.names[2], "TALVEX: Service ID Password Policy", 100, service),
        ]

    def blocks(self, domain_values, created):
        lines = []
        for dn, (name, shown, precedence, settings) in zip(self.dns,
                                                           self.expected(domain_values)):
            lines.append(f"  {dn}")
            if created:
                lines.append("  PSO successfully created.")
            lines += [""] + Policy(dn, precedence, domain=self.domain, name=name,
                                   display_name=shown, **settings).lines() + ["", ""]
        return lines

    def assertCreated(self, domain_values):
        for dn, (name, shown, precedence, settings) in zip(self.dns,
                                                           self.expected(domain_values)):
            entry = read_entry(dn, ["*"])
            self.assertIsNotNone(entry, dn)
            for attribute_name, value in pso_values(precedence, **settings).items():
                self.assertEqual([value], attribute(entry, attribute_name),
                                 f"{name} {attribute_name}")
            self.assertEqual([shown], attribute(entry, "displayName"))
            self.assertEqual([name], attribute(entry, "adminDisplayName"))

    def test_dry_run_lists_three_psos_and_writes_nothing(self):
        values = domain_policy_values(self.base_dn)
        out, err = self.talvex_writing_nothing("-quickstart")
        self.assertEqual(text([self.host_line, "Retrieving Domain Policy..."] + NOT_FOR_REAL +
                              ["PSOs that would have been created had this been for real.",
                               ""] + self.blocks(values, created=False)) + SUCCESS_TAIL, out)
        for dn in self.dns:
            self.assertIsNone(read_entry(dn))

    def test_creates_three_psos_and_a_second_run_skips_them(self):
        values = domain_policy_values(self.base_dn)
        out, err, rc = self.talvex("-quickstart", "-forreal")
        self.assertEqual(0, rc, out + err)
        self.assertEqual(text([self.host_line, "Retrieving Domain Policy...",
                               "Creating new PSOs:"] + self.blocks(values, created=True)) +
                         SUCCESS_TAIL, out)
        self.assertCreated(values)

        out, err = self.talvex_writing_nothing("-quickstart", "-forreal")
        skipped = []
        for dn in self.dns:
            skipped += [f"  {dn}", "  WARN: Policy Name specified already exists. Skipping.", ""]
        self.assertEqual(text([self.host_line, "Retrieving Domain Policy...",
                               "Creating new PSOs:"] + skipped) + SUCCESS_TAIL, out)

    def test_tightening_follows_a_30_day_domain_with_threshold_10(self):
        original = domain_policy_values(self.base_dn)
        self.addCleanup(write_domain_policy, self.base_dn, original)
        write_domain_policy(self.base_dn, {"maxPwdAge": str(-30 * DAY),
                                           "lockoutThreshold": "10",
                                           "lockoutDuration": str(-30 * MINUTE)})
        values = domain_policy_values(self.base_dn)
        out, err, rc = self.talvex("-quickstart", "-forreal")
        self.assertEqual(0, rc, out + err)
        self.assertCreated(values)
        admin = read_entry(self.dns[1])
        service = read_entry(self.dns[2])
        self.assertEqual([str(-30 * DAY)], attribute(admin, "msDS-MaximumPasswordAge"))
        self.assertEqual(["10"], attribute(admin, "msDS-LockoutThreshold"))
        self.assertEqual([str(-364 * DAY)], attribute(service, "msDS-MaximumPasswordAge"))
        self.assertEqual(["0"], attribute(service, "msDS-LockoutThreshold"))


if __name__ == "__main__":
    unittest.main()
