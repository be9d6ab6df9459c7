"""The platform side of the directory layer against the lab domain controller.

Runs the Lab* tests of talvex_tests (the libldap client with simple and SASL
GSSAPI binds, paged searches, changes, time-outs; the DNS SRV + CLDAP
locator) inside the lab's network namespace, where the DC's DNS and Kerberos
answer. Outside it those tests skip; here none may skip.

Standard library only.
"""

import os
import re
import subprocess
import unittest

import labtest

# Fewer than this many tests run means the filter or the build lost some.
MIN_LAB_TESTS = 15


class DirectoryPlatformLabTest(unittest.TestCase):

    def test_lab_tests_pass_inside_the_namespace(self):
        labtest.require_lab()
        binary = os.environ.get("TALVEX_TESTS_BINARY")
        self.assertTrue(binary and os.path.isfile(binary),
                        f"talvex_tests not found (TALVEX_TESTS_BINARY={binary!r})")
        command = [os.path.join(labtest.LAB_DIR, "exec.sh"), "env",
                   "TALVEX_LAB_INSIDE=1", f"TALVEX_LAB_ENV={labtest.env_file()}",
                   f"LDAPTLS_CACERT={labtest.lab()['LAB_CA']}",
                   binary, "--gtest_filter=Lab*", "--gtest_color=no"]
        done = subprocess.run(command, capture_output=True, timeout=540,
                              env=labtest.lab_subprocess_env())
        output = (done.stdout.decode("utf-8", "replace") +
                  done.stderr.decode("utf-8", "replace"))
        self.assertEqual(done.returncode, 0, output)
        ran = re.search(r"^\[==========\] (\d+) tests? from .* ran", output, re.M)
        self.assertIsNotNone(ran, output)
        self.assertGreaterEqual(int(ran.group(1)), MIN_LAB_TESTS, output)
        self.assertNotIn("[  SKIPPED ]", output)


if __name__ == "__main__":
    unittest.main()
