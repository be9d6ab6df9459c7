"""Policies carried from one domain to another: a file exported from the
lab domain is synced into a second, freshly provisioned domain
(lab/add_domain2.sh, removed again when the suite ends), where its subjects'
SIDs and DNs mean nothing and their account names find the objects.
"""

import contextlib
import json
import os
import subprocess
import tempfile

import labtest
from labtest import ChangesTestCase

PREFIX = "tvxpd-"
OTHER_DOMAIN = "other.example.com"
OTHER_BASE = "DC=other,DC=example,DC=com"
OTHER_HOST = "dc1.other.example.com"
OTHER_IP = "10.99.0.13"


def lab_script(name):
    done = subprocess.run(["bash", os.path.join(labtest.LAB_DIR, name),
                           labtest.require_lab()["LAB_STATE"]],
                          capture_output=True, timeout=300)
    if done.returncode != 0:
        raise AssertionError(f"{name} failed: {done.stderr.decode('utf-8', 'replace')}")


@contextlib.contextmanager
def other_domain():
    """The lab's ldapmodify and ldapsearch wrappers talk to the second domain."""
    saved = {k: os.environ.get(k) for k in ("LAB_LDAP_URI", "LAB_LDAP_USER")}
    os.environ["LAB_LDAP_URI"] = "ldap://" + OTHER_IP
    os.environ["LAB_LDAP_USER"] = "Administrator@" + OTHER_DOMAIN
    try:
        yield
    finally:
        for key, value in saved.items():
            if value is None:
                os.environ.pop(key, None)
            else:
                os.environ[key] = value


def objects(base, account_names):
    """LDIF of an OU with a user and a global group per name pair."""
    user, group = account_names
    ou = "OU=tvxpd," + base
    return (labtest.ou_entry(ou) + labtest.user_entry(f"CN={user},{ou}", user)
            + labtest.group_entry(f"CN={group},{ou}", group)), ou


class SecondDomainTest(ChangesTestCase):
    WATCHED = ("cn=" + PREFIX,)

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        lab_script("add_domain2.sh")
        cls.addClassCleanup(lab_script, "remove_domain2.sh")
        cls.pso = cls.pso_dn(PREFIX + "a")
        cls.ou = "OU=tvxpd," + cls.base_dn
        cls.own_objects([cls.pso])
        ldif, _ = objects(cls.base_dn, (PREFIX + "u1", PREFIX + "g1"))
        labtest.add_ldif(ldif)
        labtest.add_ldif(labtest.pso_entry(
            cls.pso, 71, [f"CN={PREFIX}u1,{cls.ou}", f"CN={PREFIX}g1,{cls.ou}"],
            display_name="Carried policy", threshold=7))
        with other_domain():
            ldif, cls.other_ou = objects(OTHER_BASE, (PREFIX + "u1", PREFIX + "g1"))
            labtest.add_ldif(ldif)

    def other(self, *args):
        # -domain as well as -h: Wine's locator does not ask the -h computer.
        return self.talvex(*args, "-domain", OTHER_DOMAIN, "-h", OTHER_HOST,
                           "-u", "Administrator@" + OTHER_DOMAIN,
                           "-up", labtest.require_lab()["LAB_ADMIN_PASSWORD"], "-simple")

    def test_an_export_of_one_domain_syncs_into_another_by_account_names(self):
        out, err, rc = self.talvex("-export", "-pso", PREFIX + "*")
        self.assertEqual(0, rc, err)
        exported = json.loads(out)
        handle = os.path.join(self.enterContext(tempfile.TemporaryDirectory()),
                              "corp.json")
        with open(handle, "w", encoding="utf-8") as file:
            file.write(out)

        out, err, rc = self.other("-sync", handle)
        self.assertEqual(2, rc, out + err)
        users = [f"CN={PREFIX}g1,{self.other_ou}", f"CN={PREFIX}u1,{self.other_ou}"]
        self.assertIn(f"  PSO {PREFIX}a: to be created\n", out)
        self.assertIn("".join(f"    + {dn}\n" for dn in users), out)

        out, err, rc = self.other("-sync", handle, "-forreal")
        self.assertEqual(0, rc, out + err)
        self.assertIn(f"\nThe domain matches {handle}.\n", out)
        out, err, rc = self.other("-export", "-pso", PREFIX + "*")
        self.assertEqual(0, rc, err)
        carried = json.loads(out)
        self.assertEqual(OTHER_BASE, carried["domain"]["dn"])
        want, got = exported["psos"][0], carried["psos"][0]
        for key in ("name", "displayName", "precedence", "settings"):
            self.assertEqual(want[key], got[key], key)
        self.assertEqual(users, [s["dn"] for s in got["subjects"]])
        self.assertEqual([s["accountName"] for s in want["subjects"]],
                         [s["accountName"] for s in got["subjects"]])
        out, err, rc = self.other("-sync", handle)
        self.assertEqual(0, rc, out + err)


if __name__ == "__main__":
    import unittest
    unittest.main()
