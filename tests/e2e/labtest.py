"""Shared helpers of the end-to-end tests that run talvex against the lab.

The lab is a Samba AD domain controller (dc1.corp.example.com) in the network
namespace the lab scripts build; talvex runs inside that namespace through
lab/exec.sh, with the lab's Kerberos configuration and ticket cache. The
directory is read back independently with ldapsearch (simple bind as
Administrator), never through talvex itself.

When the lab is missing a test fails if the environment variable CI is set
(the lab is part of the test run there) and is skipped otherwise, with a
message that says how to start it.

Standard library only.
"""

import base64
import os
import shlex
import subprocess
import unittest

import talvex_process

SOURCE_DIR = os.environ.get(
    "TALVEX_SOURCE_DIR",
    os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
LAB_DIR = os.path.join(SOURCE_DIR, "lab")
DEFAULT_ENV_FILES = ("/tmp/talvex-lab/lab.env", "/tmp/talvex-lab.env")

TALVEX_TIMEOUT = 120
LDAP_TIMEOUT = 60

SUCCESS_TAIL = "\nThe command completed successfully.\n\n"
USAGE_HINT = "\nType Talvex /? for usage assistance.\n\n\n"


def env_file():
    """The lab.env to use: $TALVEX_LAB_ENV, else the default places."""
    explicit = os.environ.get("TALVEX_LAB_ENV")
    if explicit:
        return explicit
    for candidate in DEFAULT_ENV_FILES:
        if os.path.isfile(candidate):
            return candidate
    return DEFAULT_ENV_FILES[0]


def read_env(path):
    """The KEY='value' assignments of a lab.env (functions are ignored)."""
    values = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line.startswith("export "):
                line = line[len("export "):]
            if "=" not in line or line.startswith("#") or "(" in line.split("=", 1)[0]:
                continue
            key, raw = line.split("=", 1)
            if not key.isidentifier():
                continue
            parts = shlex.split(raw) if raw else [""]
            values[key] = parts[0] if parts else ""
    return values


_lab = None
_lab_problem = None


def lab():
    """The lab's environment as a dict, or None when there is no lab."""
    global _lab, _lab_problem
    if _lab is not None or _lab_problem is not None:
        return _lab
    path = env_file()
    if not os.path.isfile(path):
        _lab_problem = f"no lab environment at {path}"
        return None
    values = read_env(path)
    namespace = values.get("LAB_NS", "talvexlab")
    listing = subprocess.run(["ip", "netns", "list"], capture_output=True, text=True)
    if namespace not in [l.split()[0] for l in listing.stdout.splitlines() if l.strip()]:
        _lab_problem = f"network namespace {namespace} is missing"
        return None
    _lab = values
    return _lab


def require_lab():
    """Fails (under CI) or skips (locally) when the lab is not running."""
    if lab() is not None:
        return lab()
    message = (f"the lab is not running ({_lab_problem}); start it with "
               "lab/start.sh && lab/seed.sh")
    if os.environ.get("CI"):
        raise AssertionError(message)
    raise unittest.SkipTest(message + " [skipped in a local run only]")


def talvex_binary():
    binary = os.environ.get("TALVEX_BINARY")
    if binary:
        return binary
    return os.path.join(SOURCE_DIR, "build", "src", "frontend", "talvex")


def on_windows():
    """True when the runs are of talvex.exe under Wine."""
    return talvex_process.is_windows(talvex_binary())


# An LDAP error report ends with the client library's own text for the
# code: libldap's on Linux, wldap32's on Windows (Wine's are Windows' words).
_LDAP_ERROR_TEXTS = {
    21: ("Invalid syntax", "Invalid Syntax"),
    49: ("Invalid credentials", "Invalid Credentials"),
}


def ldap_error_text(code):
    return _LDAP_ERROR_TEXTS[code][1 if on_windows() else 0]


def _lab_subprocess_env():
    env = dict(os.environ)
    env["LAB_ENV"] = env_file()
    return env


def _given(args, *switches):
    return any(a[:1] in "-/" and a[1:].lower() in switches for a in args if a)


def connection_args(args):
    """The bind and host switches this suite run adds to a test's own.

    TALVEX_LAB_BIND: "logon" (none added: the current logon, the lab's
    Kerberos ticket), "simple" (-u with a UPN, -up, -simple) or "negotiate"
    (-u DOMAIN\\user, -up). TALVEX_LAB_HOST: empty (the locator finds the
    controller) or "named" (-h with the lab DC's name). A test that names a
    user or a host itself keeps its own.
    """
    env = require_lab()
    added = []
    bind = os.environ.get("TALVEX_LAB_BIND", "logon")
    if bind != "logon" and not _given(args, "u"):
        if bind == "simple":
            added += ["-u", f"{env['LAB_ADMIN_USER']}@{env['LAB_DOMAIN']}",
                      "-up", env["LAB_ADMIN_PASSWORD"], "-simple"]
        elif bind == "negotiate":
            added += ["-u", f"{env['LAB_NETBIOS']}\\{env['LAB_ADMIN_USER']}",
                      "-up", env["LAB_ADMIN_PASSWORD"]]
        else:
            raise ValueError(f"TALVEX_LAB_BIND is {bind!r}")
    host = os.environ.get("TALVEX_LAB_HOST", "")
    if host and not _given(args, "h"):
        added += ["-h", env["LAB_DC_HOST"] if host == "named" else host]
    return added


def run_talvex(*args, timeout=TALVEX_TIMEOUT, stdin=None, env=None):
    """Runs talvex inside the lab namespace; returns (stdout, stderr, code)."""
    require_lab()
    prefix = [os.path.join(LAB_DIR, "exec.sh")]
    if env:
        prefix += ["env"] + [f"{k}={v}" for k, v in env.items()]
    return talvex_process.run(prefix, list(args) + connection_args(args), timeout=timeout,
                              stdin=stdin.encode() if stdin is not None else None,
                              env=_lab_subprocess_env(), errors="replace",
                              path=talvex_binary())


def _parse_ldif(text):
    """LDIF (unwrapped, -LLL) to a list of (dn, {attribute: [values]})."""
    entries = []
    dn = None
    attributes = {}
    for line in text.splitlines() + [""]:
        if not line.strip():
            if dn is not None:
                entries.append((dn, attributes))
            dn, attributes = None, {}
            continue
        if line.startswith("#"):
            continue
        name, _, rest = line.partition(":")
        if rest.startswith(":"):
            value = base64.b64decode(rest[1:].strip()).decode("utf-8", "replace")
        else:
            value = rest[1:] if rest.startswith(" ") else rest
        if name.lower() == "dn" and dn is None:
            dn = value
        else:
            attributes.setdefault(name, []).append(value)
    return entries


def ldapsearch(base=None, scope="sub", filter="(objectClass=*)", attributes=(),
               extra=()):
    """An independent read of the directory; returns [(dn, attributes)]."""
    require_lab()
    command = [os.path.join(LAB_DIR, "ldapsearch.sh"), "-LLL", "-s", scope]
    if base is not None:
        command += ["-b", base]
    command += list(extra) + [filter] + list(attributes)
    done = subprocess.run(command, capture_output=True, timeout=LDAP_TIMEOUT,
                          env=_lab_subprocess_env())
    # 32: the base does not exist, which reads as no entries.
    if done.returncode not in (0, 32):
        raise AssertionError(
            f"ldapsearch failed ({done.returncode}): {done.stderr.decode()}")
    return _parse_ldif(done.stdout.decode("utf-8", "replace"))


def read_entry(dn, attributes=()):
    """One entry's attributes (case-preserving names), or None if absent."""
    entries = ldapsearch(base=dn, scope="base", attributes=attributes)
    return entries[0][1] if entries else None


def attribute(entry, name):
    """Values of an attribute looked up without regard to case."""
    if entry is None:
        return []
    for key, values in entry.items():
        if key.lower() == name.lower():
            return values
    return []


def highest_committed_usn():
    """The RootDSE's highestCommittedUSN: unchanged means nothing written."""
    entries = ldapsearch(base="", scope="base", attributes=["highestCommittedUSN"])
    return int(attribute(entries[0][1], "highestCommittedUSN")[0])


def ldapmodify(ldif, check=True, extra=()):
    """Applies LDIF changes as Administrator; returns (code, stderr)."""
    require_lab()
    command = [os.path.join(LAB_DIR, "ldapmodify.sh")] + list(extra)
    done = subprocess.run(command, input=ldif.encode(), capture_output=True,
                          timeout=LDAP_TIMEOUT, env=_lab_subprocess_env())
    if check and done.returncode != 0:
        raise AssertionError(
            f"ldapmodify failed ({done.returncode}): {done.stderr.decode()}\n{ldif}")
    return done.returncode, done.stderr.decode("utf-8", "replace")


def delete_if_present(dn):
    """Removes an entry a test made; absent entries are fine."""
    code, err = ldapmodify(f"dn: {dn}\nchangetype: delete\n", check=False)
    if code not in (0, 32):
        raise AssertionError(f"could not delete {dn}: {err}")


def set_values(dn, attribute_name, values):
    """Replaces every value of an attribute (none: removes the attribute)."""
    lines = [f"dn: {dn}", "changetype: modify", f"replace: {attribute_name}"]
    lines += [f"{attribute_name}: {v}" for v in values]
    ldapmodify("\n".join(lines) + "\n-\n")


# ---- Objects a test makes for itself -----------------------------------------

DAY = 864000000000      # 100-ns units
MINUTE = 600000000
NEVER = "-9223372036854775808"


def _ldap_tool(tool, args, stdin=None, check=True):
    """An OpenLDAP tool as Administrator (simple bind) inside the namespace."""
    env = require_lab()
    command = ["ip", "netns", "exec", env["LAB_NS"], tool, "-x",
               "-H", "ldap://" + env["LAB_DC_IP"], "-o", "nettimeout=10",
               "-D", "Administrator@" + env["LAB_DOMAIN"],
               "-w", env["LAB_ADMIN_PASSWORD"]] + list(args)
    done = subprocess.run(command, input=stdin.encode() if stdin else None,
                          capture_output=True, timeout=LDAP_TIMEOUT)
    if check and done.returncode != 0:
        raise AssertionError(f"{tool} {' '.join(args)} failed ({done.returncode}): "
                             f"{done.stderr.decode()}\n{stdin or ''}")
    return done.returncode


def delete_tree(dn):
    """Removes an entry and everything under it; absent is fine."""
    code = _ldap_tool("ldapdelete", ["-r", dn], check=False)
    if code not in (0, 32):
        raise AssertionError(f"could not delete {dn} (ldapdelete exit {code})")


def add_ldif(ldif):
    """Adds the entries of an LDIF text (changetype add implied)."""
    ldapmodify(ldif, extra=["-a"])


def pso_entry(dn, name, precedence, applies_to=(), display=None, admin_display=None,
              min_length=10, history=5, complexity="TRUE", reversible="FALSE",
              min_age_days=1, max_age_days=60, threshold=0, duration_minutes=30,
              window_minutes=30):
    """LDIF of a Password Settings Object."""
    lines = [f"dn: {dn}", "objectClass: msDS-PasswordSettings",
             f"displayName: {display if display is not None else name}",
             f"adminDisplayName: {admin_display if admin_display is not None else name}",
             f"msDS-PasswordSettingsPrecedence: {precedence}",
             f"msDS-PasswordReversibleEncryptionEnabled: {reversible}",
             f"msDS-PasswordHistoryLength: {history}",
             f"msDS-PasswordComplexityEnabled: {complexity}",
             f"msDS-MinimumPasswordLength: {min_length}",
             f"msDS-MinimumPasswordAge: {-min_age_days * DAY}",
             f"msDS-MaximumPasswordAge: {-max_age_days * DAY}",
             f"msDS-LockoutThreshold: {threshold}",
             f"msDS-LockoutDuration: {-duration_minutes * MINUTE}",
             f"msDS-LockoutObservationWindow: {-window_minutes * MINUTE}"]
    lines += [f"msDS-PSOAppliesTo: {target}" for target in applies_to]
    return "\n".join(lines) + "\n\n"


def user_entry(dn, account, upn=None):
    """LDIF of a (disabled, password-less) user account."""
    lines = [f"dn: {dn}", "objectClass: user", f"sAMAccountName: {account}"]
    if upn:
        lines.append(f"userPrincipalName: {upn}")
    return "\n".join(lines) + "\n\n"


def group_entry(dn, account, members=()):
    """LDIF of a global security group."""
    lines = [f"dn: {dn}", "objectClass: group", f"sAMAccountName: {account}",
             "groupType: -2147483646"]
    lines += [f"member: {m}" for m in members]
    return "\n".join(lines) + "\n\n"


def computer_entry(dn, account):
    return (f"dn: {dn}\nobjectClass: computer\nsAMAccountName: {account}\n"
            "userAccountControl: 4096\n\n")


def contact_entry(dn, name):
    return f"dn: {dn}\nobjectClass: contact\ndisplayName: {name}\nsn: {name}\n\n"


def ou_entry(dn):
    return f"dn: {dn}\nobjectClass: organizationalUnit\n\n"


# ---- What talvex should show, computed from an independent read ---------------

def dns_name(dn):
    """The domain's DNS name from the DC= parts of a DN, lower-cased."""
    parts = [p.strip() for p in dn.split(",")]
    return ".".join(p[3:] for p in parts if p.lower().startswith("dc=")).lower()


def _count(text, unit):
    if text == NEVER:
        return -1
    digits = text.lstrip("-")
    return int(digits or 0) // unit


PSO_ATTRIBUTES = ["name", "canonicalName", "displayName", "msDS-PasswordSettingsPrecedence",
                  "msDS-LockoutThreshold", "msDS-LockoutDuration",
                  "msDS-LockoutObservationWindow", "msDS-MinimumPasswordAge",
                  "msDS-MaximumPasswordAge", "msDS-MinimumPasswordLength",
                  "msDS-PasswordHistoryLength", "msDS-PasswordComplexityEnabled",
                  "msDS-PasswordReversibleEncryptionEnabled"]
DOMAIN_ATTRIBUTES = ["name", "canonicalName", "lockoutThreshold", "lockoutDuration",
                     "lockOutObservationWindow", "minPwdAge", "maxPwdAge",
                     "minPwdLength", "pwdHistoryLength", "pwdProperties"]


class Policy:
    """A policy as read with ldapsearch, with the figures talvex shows."""

    def __init__(self, dn, is_pso, fields):
        self.dn = dn
        self.is_pso = is_pso
        self.fields = fields  # label -> value text, in display order

    @property
    def canonical_name(self):
        return self.fields["Canonical Name"]

    @property
    def precedence(self):
        return int(self.fields["Policy Precedence"])

    @property
    def domain(self):
        return self.fields["Domain"]

    def block(self):
        """The sixteen-line display."""
        labels = ["Type", "Domain", "Policy Precedence", "DN", "Name", "Canonical Name",
                  "Display Name", "Lockout Threshold", "Lockout Duration",
                  "Lockout Observation", "Min Pwd Age", "Max Pwd Age", "Min Pwd Length",
                  "Pwd History", "Pwd Complexity", "Pwd Reversible"]
        return "".join(f"    {label:<19}: {self.fields[label]}\n" for label in labels)


def read_pso(dn):
    entry = read_entry(dn, PSO_ATTRIBUTES)
    if entry is None:
        raise AssertionError(f"no PSO {dn}")
    first = lambda name, default="": (attribute(entry, name) or [default])[0]
    name = first("name")
    return Policy(dn, True, {
        "Type": "Policy Settings Object",
        "Domain": dns_name(dn),
        "Policy Precedence": str(int(first("msDS-PasswordSettingsPrecedence", "0"))),
        "DN": dn,
        "Name": name,
        "Canonical Name": first("canonicalName"),
        "Display Name": first("displayName", name),
        "Lockout Threshold": str(int(first("msDS-LockoutThreshold", "0"))),
        "Lockout Duration": str(_count(first("msDS-LockoutDuration", "0"), MINUTE)),
        "Lockout Observation": str(_count(first("msDS-LockoutObservationWindow", "0"), MINUTE)),
        "Min Pwd Age": str(_count(first("msDS-MinimumPasswordAge", "0"), DAY)),
        "Max Pwd Age": str(_count(first("msDS-MaximumPasswordAge", "0"), DAY)),
        "Min Pwd Length": str(int(first("msDS-MinimumPasswordLength", "0"))),
        "Pwd History": str(int(first("msDS-PasswordHistoryLength", "0"))),
        "Pwd Complexity": first("msDS-PasswordComplexityEnabled", "FALSE").upper(),
        "Pwd Reversible": first("msDS-PasswordReversibleEncryptionEnabled", "FALSE").upper(),
    })


def read_domain_policy(dn):
    entry = read_entry(dn, DOMAIN_ATTRIBUTES)
    if entry is None:
        raise AssertionError(f"no domain head {dn}")
    first = lambda name, default="0": (attribute(entry, name) or [default])[0]
    properties = int(first("pwdProperties") or 0)
    rdn_value = dn.split(",")[0].split("=", 1)[1]
    return Policy(dn, False, {
        "Type": "Domain Policy",
        "Domain": dns_name(dn),
        "Policy Precedence": "2147483647",
        "DN": dn,
        "Name": first("name", rdn_value),
        "Canonical Name": first("canonicalName", ""),
        "Display Name": rdn_value,
        "Lockout Threshold": str(int(first("lockoutThreshold"))),
        "Lockout Duration": str(_count(first("lockoutDuration"), MINUTE)),
        "Lockout Observation": str(_count(first("lockOutObservationWindow"), MINUTE)),
        "Min Pwd Age": str(_count(first("minPwdAge"), DAY)),
        "Max Pwd Age": str(_count(first("maxPwdAge"), DAY)),
        "Min Pwd Length": str(int(first("minPwdLength"))),
        "Pwd History": str(int(first("pwdHistoryLength"))),
        "Pwd Complexity": "TRUE" if properties & 1 else "FALSE",
        "Pwd Reversible": "TRUE" if properties & 16 else "FALSE",
    })


def pso_dns(filter="(objectClass=msDS-PasswordSettings)"):
    """DNs of the domain's PSOs matching a filter (paged, every one)."""
    env = require_lab()
    return [dn for dn, _ in ldapsearch(base=env["LAB_BASE_DN"], filter=filter,
                                       attributes=["1.1"],
                                       extra=["-E", "pr=1000/noprompt"])]


def default_order(policies):
    """Domain policies first, then by canonical name in byte order."""
    by_key = sorted(policies, key=lambda p: p.dn.lower())  # the policy list's order
    return sorted(by_key, key=lambda p: (p.is_pso, p.canonical_name.encode("utf-8")))


def precedence_order(policies):
    """By domain in byte order, then by precedence."""
    by_key = sorted(policies, key=lambda p: p.dn.lower())
    return sorted(by_key, key=lambda p: (p.domain.encode("utf-8"), p.precedence))


class LabTestCase(unittest.TestCase):
    """Base class: the lab's names as attributes, the lab required."""

    maxDiff = None

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        env = require_lab()
        cls.env = env
        cls.base_dn = env["LAB_BASE_DN"]
        cls.domain = env["LAB_DOMAIN"]
        cls.netbios = env["LAB_NETBIOS"]
        cls.dc_host = env["LAB_DC_HOST"]
        cls.pso_container = env.get(
            "LAB_PSO_CONTAINER", "CN=Password Settings Container,CN=System," + cls.base_dn)
        cls.staff_dn = env.get("LAB_STAFF_DN", "OU=Staff," + cls.base_dn)

    def pso_dn(self, name):
        return f"CN={name},{self.pso_container}"

    def staff(self, name):
        return f"CN={name},{self.staff_dn}"

    def talvex(self, *args, **kwargs):
        return run_talvex(*args, **kwargs)

    def assertRun(self, args, stdout, code=0, stderr=""):
        """Runs talvex and compares the whole outputs and the exit code."""
        out, err, rc = run_talvex(*args)
        self.assertEqual(stdout, out, f"stdout of talvex {' '.join(args)}")
        if stderr is not None:
            self.assertEqual(stderr, err, f"stderr of talvex {' '.join(args)}")
        self.assertEqual(code, rc, f"exit code of talvex {' '.join(args)}\n{out}\n{err}")
        return out, err
