"""-del and -multidel against the lab: unused PSOs only unless -override, a
single delete that matches two stops before any change, and a multi-delete
whose third delete is refused keeps the first two deleted and exits with the
refusal's code."""

import unittest

from labtest import (ChangesTestCase, NOT_FOR_REAL, SUCCESS_TAIL, USAGE_HINT, deny_delete,
                     read_entry, text)

ADDED_UNUSED = "WARN: Added -unused switch for safety."


class DeleteTest(ChangesTestCase):

    def test_multidel_dry_run_lists_unused_psos_and_deletes_nothing(self):
        first = self.made("tvxchg-dry-a", 730)
        second = self.made("tvxchg-dry-b", 731)
        self.made("tvxchg-dry-used", 732, applies_to=[self.staff("carol")])
        out, err = self.talvex_writing_nothing("-multidel", "-pso", "tvxchg-dry-*")
        self.assertEqual(text([ADDED_UNUSED, self.host_line, "Retrieving PSOs...", ""] +
                              NOT_FOR_REAL +
                              ["PSO(s) that would have been deleted had this been for real.",
                               f"  DN:{first}", f"  DN:{second}"]) + SUCCESS_TAIL, out)
        for dn in (first, second):
            self.assertIsNotNone(read_entry(dn))

    def test_multidel_takes_used_psos_only_with_override(self):
        free = self.made("tvxchg-use-free", 733)
        used = self.made("tvxchg-use-used", 734, applies_to=[self.staff("carol")])
        out, err, rc = self.talvex("-multidel", "-pso", "tvxchg-use-*", "-forreal")
        self.assertEqual(0, rc, out + err)
        self.assertEqual(text([ADDED_UNUSED, self.host_line, "Retrieving PSOs...",
                               "Deleting PSO(s):", f"  DN:{free}",
                               "PSO(s) successfully deleted."]) + SUCCESS_TAIL, out)
        self.assertIsNone(read_entry(free))
        self.assertIsNotNone(read_entry(used))

        out, err, rc = self.talvex("-multidel", "-pso", "tvxchg-use-*", "-forreal", "-override")
        self.assertEqual(0, rc, out + err)
        self.assertEqual(text([self.host_line, "Retrieving PSOs...", "Deleting PSO(s):",
                               f"  DN:{used}", "PSO(s) successfully deleted."]) + SUCCESS_TAIL,
                         out)
        self.assertIsNone(read_entry(used))

    def test_single_delete_matching_two_stops_before_any_change(self):
        first = self.made("tvxchg-one-a", 735)
        second = self.made("tvxchg-one-b", 736)
        out, err = self.talvex_writing_nothing("-del", "-pso", "tvxchg-one-*", "-forreal",
                                               code=1)
        self.assertEqual(text([ADDED_UNUSED, self.host_line, "Retrieving PSOs...", "ERROR:",
                               "ERROR: Single delete action specified but multiple polices "
                               "match criteria.", "ERROR:"]) + USAGE_HINT, out)
        for dn in (first, second):
            self.assertIsNotNone(read_entry(dn))

        out, err = self.talvex_writing_nothing("-del", "-pso", "tvxchg-one-a")
        self.assertEqual(text([ADDED_UNUSED, self.host_line, "Retrieving PSOs...", ""] +
                              NOT_FOR_REAL +
                              ["PSO(s) that would have been deleted had this been for real.",
                               f"  DN:{first}"]) + SUCCESS_TAIL, out)

        out, err, rc = self.talvex("-del", "-pso", "tvxchg-one-a", "-forreal")
        self.assertEqual(0, rc, out + err)
        self.assertIsNone(read_entry(first))
        self.assertIsNotNone(read_entry(second))

    def test_refused_third_delete_keeps_the_first_two_deleted(self):
        dns = [self.made(f"tvxchg-acl-{n}", 737 + n) for n in (1, 2, 3, 4)]
        deny_delete(self, dns[2], self.pso_container)
        out, err, rc = self.talvex("-multidel", "-pso", "tvxchg-acl-*", "-forreal")
        self.assertEqual(50, rc, out + err)
        self.assertEqual(text([ADDED_UNUSED, self.host_line, "Retrieving PSOs...",
                               "Deleting PSO(s):"] + [f"  DN:{dn}" for dn in dns[:3]] +
                              ["", "The command did not complete successfully.", ""]), out)
        lines = err.splitlines()
        self.assertEqual(2, len(lines), err)
        self.assertTrue(lines[0].startswith(
            f"ERROR: ldap_delete_s ({dns[2]}): : [{self.dc_host}] Error 0x32 (50) - "), err)
        self.assertTrue(lines[1].startswith("Extended Error: "), err)
        self.assertIsNone(read_entry(dns[0]))
        self.assertIsNone(read_entry(dns[1]))
        self.assertIsNotNone(read_entry(dns[2]))
        # Later ones are not tried.
        self.assertIsNotNone(read_entry(dns[3]))


if __name__ == "__main__":
    unittest.main()
