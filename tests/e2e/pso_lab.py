"""What the end-to-end tests of the changing actions share: PSOs and domain
policy values set up and undone with ldapmodify, the display block talvex
prints for a policy, and a deny-delete ACE on one PSO.

Every PSO these tests make is named tvxchg-..., so that a test removes only
what it made, and tests can run in any order.

Standard library only (plus the lab's own samba python, run inside the lab
namespace, for security descriptors).
"""

import base64
import os
import subprocess

import labtest

MINUTE = 600000000
DAY = 864000000000
NEVER = "-9223372036854775808"

# The defaults of a new PSO that names only its name and precedence.
DEFAULT_SETTINGS = dict(threshold=25, duration=5, window=5, maxage=91, minage=0,
                        minlen=15, history=24, complexity=True, reversible=False)

DEFAULT_WARNINGS = [
    "WARN: Using default 91 days for maximum password age.",
    "WARN: Using default 15 characters for minimum password length.",
    "WARN: Using default 24 passwords for minimum password history.",
    "WARN: Using default 25 bad passwords for lockout threshold.",
    "WARN: Using default 5 minutes for lockout duration.",
    "WARN: Using default 5 minutes for lockout observation.",
    "WARN: Using default 0 days for minimum password age.",
    "WARN: Using default TRUE for password complexity.",
    "WARN: Using default FALSE for reversible encryption passwords.",
]

NOT_FOR_REAL = [
    "***************************************************",
    "***This is not for real, -forreal not specified.***",
    "***************************************************",
]

SETTING_ATTRIBUTES = {
    "threshold": "msDS-LockoutThreshold",
    "duration": "msDS-LockoutDuration",
    "window": "msDS-LockoutObservationWindow",
    "maxage": "msDS-MaximumPasswordAge",
    "minage": "msDS-MinimumPasswordAge",
    "minlen": "msDS-MinimumPasswordLength",
    "history": "msDS-PasswordHistoryLength",
    "complexity": "msDS-PasswordComplexityEnabled",
    "reversible": "msDS-PasswordReversibleEncryptionEnabled",
}

# The schema GUID of the msDS-PasswordSettings class (MS-ADSC), the object
# type of a deny-delete-child ACE on the container.
PSO_CLASS_GUID = "3bcd9db8-f84b-451c-952f-6c52b81f9ec6"

_ACL_SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pso_acl.py")


def using_host():
    """The executor's first line: the located controller's site and name."""
    env = labtest.require_lab()
    return "Using host: Default-First-Site-Name\\" + env["LAB_DC_HOST"]


def interval(count, factor):
    """A count of minutes or days as the directory writes it."""
    if count == -1:
        return NEVER
    return "0" if count == 0 else str(-count * factor)


def boolean(value):
    return "TRUE" if value else "FALSE"


def pso_values(precedence, **settings):
    """Attribute name to the single value talvex or the lab writes."""
    s = dict(DEFAULT_SETTINGS)
    s.update(settings)
    return {
        "msDS-PasswordSettingsPrecedence": str(precedence),
        "msDS-LockoutThreshold": str(s["threshold"]),
        "msDS-LockoutDuration": interval(s["duration"], MINUTE),
        "msDS-LockoutObservationWindow": interval(s["window"], MINUTE),
        "msDS-MaximumPasswordAge": interval(s["maxage"], DAY),
        "msDS-MinimumPasswordAge": interval(s["minage"], DAY),
        "msDS-MinimumPasswordLength": str(s["minlen"]),
        "msDS-PasswordHistoryLength": str(s["history"]),
        "msDS-PasswordComplexityEnabled": boolean(s["complexity"]),
        "msDS-PasswordReversibleEncryptionEnabled": boolean(s["reversible"]),
    }


def _ldif_line(name, value):
    if value.isascii() and not value.startswith((" ", ":", "<")):
        return f"{name}: {value}"
    return f"{name}:: {base64.b64encode(value.encode()).decode()}"


def create_pso(dn, precedence, applies_to=(), display_name=None, **settings):
    """Adds a PSO with ldapmodify (the lab's own tool, not talvex)."""
    name = dn.split(",", 1)[0][3:]
    lines = [_ldif_line("dn", dn), "changetype: add",
             "objectClass: msDS-PasswordSettings",
             _ldif_line("displayName", display_name or name),
             _ldif_line("adminDisplayName", name)]
    for attribute, value in pso_values(precedence, **settings).items():
        lines.append(f"{attribute}: {value}")
    for target in applies_to:
        lines.append(f"msDS-PSOAppliesTo: {target}")
    labtest.ldapmodify("\n".join(lines) + "\n")
    return dn


def pso_dns(filter_="(objectClass=msDS-PasswordSettings)"):
    """Lower-cased DNs of the PSOs in the domain that match the filter."""
    return sorted(dn.lower() for dn, _ in labtest.ldapsearch(filter=filter_,
                                                               attributes=["1.1"]))


def display(type_="Policy Settings Object", domain="", precedence=0, dn="",
            name="", canonical="", display_name="", **settings):
    """The sixteen lines of a policy's display."""
    s = dict(DEFAULT_SETTINGS)
    s.update(settings)
    return [
        f"    Type               : {type_}",
        f"    Domain             : {domain}",
        f"    Policy Precedence  : {precedence}",
        f"    DN                 : {dn}",
        f"    Name               : {name}",
        f"    Canonical Name     : {canonical}",
        f"    Display Name       : {display_name}",
        f"    Lockout Threshold  : {s['threshold']}",
        f"    Lockout Duration   : {s['duration']}",
        f"    Lockout Observation: {s['window']}",
        f"    Min Pwd Age        : {s['minage']}",
        f"    Max Pwd Age        : {s['maxage']}",
        f"    Min Pwd Length     : {s['minlen']}",
        f"    Pwd History        : {s['history']}",
        f"    Pwd Complexity     : {boolean(s['complexity'])}",
        f"    Pwd Reversible     : {boolean(s['reversible'])}",
    ]


def text(lines):
    return "".join(line + "\n" for line in lines)


# Show Deleted (1.2.840.113556.1.4.417): a deleted PSO is a write too.
SHOW_DELETED = ("-E", "!1.2.840.113556.1.4.417")


def written_since(usn):
    """Lower-cased DNs of the domain's entries written after the USN,
    deleted ones included."""
    return [dn.lower() for dn, _ in labtest.ldapsearch(
        filter=f"(uSNChanged>={usn + 1})", attributes=["1.1"], extra=SHOW_DELETED)]


class ChangesTestCase(labtest.LabTestCase):
    """Runs talvex with -q (the banner is the front end's, not these tests'),
    and checks that a run wrote nothing."""

    # What these tests' runs could write: their own PSOs (all named
    # tvxchg-...), the quick-start PSOs and the domain head.
    WATCHED = ("cn=tvxchg-", "cn=dompol_", "cn=pwd_policy_")

    def talvex(self, *args, **kwargs):
        return labtest.run_talvex("-q", *args, **kwargs)

    def assertNothingWrittenSince(self, usn, note=""):
        """The RootDSE's highestCommittedUSN is unchanged. When it moved
        (other test runs share the lab), no entry these runs could write was
        written: not the domain head, no PSO of these tests, none deleted."""
        if labtest.highest_committed_usn() == usn:
            return
        ours = [dn for dn in written_since(usn)
                if dn == self.base_dn.lower() or dn.startswith(self.WATCHED)]
        self.assertEqual([], ours, f"written since USN {usn}\n{note}")

    def talvex_writing_nothing(self, *args, code=0):
        """Runs talvex, expects the exit code and that nothing was written."""
        usn = labtest.highest_committed_usn()
        out, err, rc = self.talvex(*args)
        self.assertNothingWrittenSince(usn, out + err)
        self.assertEqual(code, rc, out + err)
        return out, err


# ---- The domain policy ------------------------------------------------------

DOMAIN_POLICY_ATTRIBUTES = ("lockoutDuration", "lockOutObservationWindow",
                            "lockoutThreshold", "maxPwdAge", "minPwdAge",
                            "minPwdLength", "pwdHistoryLength", "pwdProperties")


def read_domain_policy(base_dn):
    entry = labtest.read_entry(base_dn, DOMAIN_POLICY_ATTRIBUTES)
    return {a: labtest.attribute(entry, a)[0] for a in DOMAIN_POLICY_ATTRIBUTES}


def write_domain_policy(base_dn, values):
    lines = [f"dn: {base_dn}", "changetype: modify"]
    for attribute, value in values.items():
        lines += [f"replace: {attribute}", f"{attribute}: {value}", "-"]
    labtest.ldapmodify("\n".join(lines) + "\n")


def domain_policy_settings(values):
    """The domain policy's settings in talvex's units."""
    properties = int(values["pwdProperties"])

    def count(text_, factor):
        return -1 if text_ == NEVER else abs(int(text_)) // factor

    return dict(threshold=int(values["lockoutThreshold"]),
                duration=count(values["lockoutDuration"], MINUTE),
                window=count(values["lockOutObservationWindow"], MINUTE),
                maxage=count(values["maxPwdAge"], DAY),
                minage=count(values["minPwdAge"], DAY),
                minlen=int(values["minPwdLength"]),
                history=int(values["pwdHistoryLength"]),
                complexity=bool(properties & 1),
                reversible=bool(properties & 16))


# ---- Security descriptors -----------------------------------------------------

def _acl(action, dn, ace):
    """Adds or removes one ACE of an object's DACL, as Administrator."""
    env = labtest.require_lab()
    command = ["ip", "netns", "exec", env.get("LAB_NS", "talvexlab"),
               "/usr/bin/python3", _ACL_SCRIPT, action, env["LAB_DC_IP"],
               env["LAB_ADMIN_PASSWORD"], dn, ace]
    done = subprocess.run(command, capture_output=True, timeout=labtest.LDAP_TIMEOUT)
    if done.returncode != 0:
        raise AssertionError(f"pso_acl.py {action} {dn} {ace} failed: "
                             f"{done.stderr.decode('utf-8', 'replace')}")


def deny_delete(test, pso_dn, container_dn):
    """Makes one PSO undeletable for everyone until the test ends.

    Samba lets a delete through when either the object grants DELETE or its
    parent grants DELETE_CHILD for the object's class, and Administrator has
    both; so the PSO denies DELETE and the container denies DELETE_CHILD for
    PSOs. Every other PSO still grants its own DELETE to Domain Admins, so
    only this one becomes undeletable. Both ACEs are removed again when the
    test ends.
    """
    object_ace = "(D;;SD;;;WD)"
    container_ace = f"(OD;;DC;;{PSO_CLASS_GUID};WD)"
    _acl("add", container_dn, container_ace)
    test.addCleanup(_acl, "remove", container_dn, container_ace)
    _acl("add", pso_dn, object_ace)
    test.addCleanup(_acl, "remove", pso_dn, object_ace)
