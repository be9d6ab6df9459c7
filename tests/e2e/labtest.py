"""What the end-to-end tests share: the one way to run talvex, the lab, the
objects the tests make there, and what talvex should show for them.

The lab is a Samba AD domain controller (dc1.corp.example.com) in the network
namespace the lab scripts build; talvex runs inside that namespace through
lab/exec.sh, with the lab's Kerberos configuration and ticket cache. The
directory is read back independently with ldapsearch (simple bind as
Administrator), never through talvex itself.

When the lab is missing a test fails if the environment variable CI is set
(the lab is part of the test run there) and is skipped otherwise, with a
message that says how to start it.

Every PSO the tests of the changing actions make is named tvxchg-..., so
that a test removes only what it made, and tests can run in any order.

Standard library only (plus the lab's own samba python, run inside the lab
namespace by pso_acl.py, for security descriptors).
"""

import base64
import contextlib
import os
import shlex
import subprocess
import sys
import tempfile
import unittest

import talvex_process

SOURCE_DIR = os.environ.get(
    "TALVEX_SOURCE_DIR",
    os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
LAB_DIR = os.path.join(SOURCE_DIR, "lab")
DEFAULT_ENV_FILES = ("/tmp/talvex-lab/lab.env", "/tmp/talvex-lab.env")

TALVEX_TIMEOUT = 120
LDAP_TIMEOUT = 60


def text(lines):
    """Lines as the text talvex writes them, each ended by "\\n"."""
    return "".join(line + "\n" for line in lines)


SUCCESS_TAIL = "\nThe command completed successfully.\n\n"
USAGE_HINT = "\nType Talvex /? for usage assistance.\n\n\n"
NOT_FOR_REAL = [
    "***************************************************",
    "***This is not for real, -forreal not specified.***",
    "***************************************************",
]
# What -add says of every setting a new PSO does not name.
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
EMPTY_VIEW = "\nNo PSO's to display with the specified criteria.\n\n"


# ---- The lab ----------------------------------------------------------------

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


def lab_subprocess_env():
    """The environment of the lab's scripts: this one, naming the lab.env."""
    return dict(os.environ, LAB_ENV=env_file())


# ---- Running talvex -----------------------------------------------------------

def talvex_binary():
    return talvex_process.binary()


def on_windows():
    """True when the runs are of talvex.exe under Wine."""
    return talvex_process.is_windows()


# An LDAP error report ends with the client library's own text for the
# code: libldap's on Linux, wldap32's on Windows (Wine's are Windows' words).
_LDAP_ERROR_TEXTS = {
    21: ("Invalid syntax", "Invalid Syntax"),
    49: ("Invalid credentials", "Invalid Credentials"),
}


def ldap_error_text(code):
    return _LDAP_ERROR_TEXTS[code][1 if on_windows() else 0]


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


def run_talvex(*args, lab=True, stdin=None, env=None, timeout=TALVEX_TIMEOUT):
    """Runs talvex; returns (stdout, stderr, exit code) as the Linux build's
    text, also for talvex.exe under Wine (talvex_process).

    lab: inside the lab namespace (lab/exec.sh; env is added to talvex's
    environment there) with this suite run's connection_args. Otherwise as it
    is, reading an empty standard input unless stdin is given, in a session of
    its own: without a controlling terminal it never prompts.
    """
    path = talvex_process.binary()
    command = talvex_process.command(list(args) + (connection_args(args) if lab else []), path)
    if lab:
        prefix = [os.path.join(LAB_DIR, "exec.sh")]
        if env:
            prefix += ["env"] + [f"{k}={v}" for k, v in env.items()]
        command = prefix + command
        popen = dict(env=lab_subprocess_env())
    else:
        assert env is None, "env is for lab runs"
        stdin = "" if stdin is None else stdin
        popen = dict(start_new_session=True)
    popen.update(input=None if stdin is None else stdin.encode(), timeout=timeout)
    if not talvex_process.is_windows(path):
        done = subprocess.run(command, capture_output=True, **popen)
        # A lab run prints what the directory holds; the front end's own
        # texts must be UTF-8 to the last byte.
        errors = "replace" if lab else "strict"
        return (done.stdout.decode("utf-8", errors), done.stderr.decode("utf-8", errors),
                done.returncode)
    mode = talvex_process.streams()
    # Now and then a Wine process starts while the shared Wine server of the
    # previous run is going down, and ends without running the program at
    # all: nothing on either stream. talvex always writes something, so such
    # a run is started once more (said on the test's standard error); a
    # program that really writes nothing does so again and still fails.
    for attempt in range(2):
        if mode == "pipe":
            done = subprocess.run(command, capture_output=True, **popen)
            out, err = done.stdout, done.stderr
        else:
            with tempfile.TemporaryFile() as out_file, tempfile.TemporaryFile() as err_file:
                done = subprocess.run(command, stdout=out_file, stderr=err_file, **popen)
                out_file.seek(0)
                err_file.seek(0)
                out, err = out_file.read(), err_file.read()
        if out or err or attempt:
            break
        print(f"talvex.exe under Wine wrote nothing (exit {done.returncode}); started again",
              file=sys.stderr)
    return (talvex_process.windows_text(out, mode), talvex_process.windows_text(err, mode),
            done.returncode)


# ---- Reading and writing the directory with the lab's own tools ----------------

def object_guid(dn):
    """The objectGUID's 16 bytes as stored (ldapsearch prints them base64)."""
    done = subprocess.run(
        [os.path.join(LAB_DIR, "ldapsearch.sh"), "-LLL", "-s", "base", "-b", dn,
         "(objectClass=*)", "objectGUID"],
        capture_output=True, timeout=LDAP_TIMEOUT, env=lab_subprocess_env())
    assert done.returncode == 0, done.stderr
    for line in done.stdout.decode().splitlines():
        if line.startswith("objectGUID::"):
            return base64.b64decode(line.split("::", 1)[1].strip())
    raise AssertionError(f"no objectGUID on {dn}")


def _parse_ldif(text_):
    """LDIF (unwrapped, -LLL) to a list of (dn, {attribute: [values]})."""
    entries = []
    dn = None
    attributes = {}
    for line in text_.splitlines() + [""]:
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
                          env=lab_subprocess_env())
    # 32: the base does not exist, which reads as no entries.
    if done.returncode not in (0, 32):
        raise AssertionError(
            f"ldapsearch failed ({done.returncode}): {done.stderr.decode()}")
    return _parse_ldif(done.stdout.decode("utf-8", "replace"))


@contextlib.contextmanager
def server(uri):
    """The lab's ldapsearch/ldapmodify wrappers talk to another server."""
    saved = os.environ.get("LAB_LDAP_URI")
    os.environ["LAB_LDAP_URI"] = uri
    try:
        yield
    finally:
        if saved is None:
            del os.environ["LAB_LDAP_URI"]
        else:
            os.environ["LAB_LDAP_URI"] = saved


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


def pso_dns(filter="(objectClass=msDS-PasswordSettings)"):
    """DNs of the domain's entries (PSOs) matching a filter (paged, every one)."""
    env = require_lab()
    return [dn for dn, _ in ldapsearch(base=env["LAB_BASE_DN"], filter=filter,
                                       attributes=["1.1"],
                                       extra=["-E", "pr=1000/noprompt"])]


def ldapmodify(ldif, check=True, extra=()):
    """Applies LDIF changes as Administrator; returns (code, stderr)."""
    require_lab()
    command = [os.path.join(LAB_DIR, "ldapmodify.sh")] + list(extra)
    done = subprocess.run(command, input=ldif.encode(), capture_output=True,
                          timeout=LDAP_TIMEOUT, env=lab_subprocess_env())
    if check and done.returncode != 0:
        raise AssertionError(
            f"ldapmodify failed ({done.returncode}): {done.stderr.decode()}\n{ldif}")
    return done.returncode, done.stderr.decode("utf-8", "replace")


def add_ldif(ldif):
    """Adds the entries of an LDIF text (changetype add implied)."""
    ldapmodify(ldif, extra=["-a"])


def delete_if_present(dn):
    """Removes an entry a test made; absent entries are fine."""
    code, err = ldapmodify(f"dn: {dn}\nchangetype: delete\n", check=False)
    if code not in (0, 32):
        raise AssertionError(f"could not delete {dn}: {err}")


def delete_tree(dn):
    """Removes an entry and everything under it (ldapdelete -r as
    Administrator inside the namespace); absent is fine."""
    env = require_lab()
    command = ["ip", "netns", "exec", env["LAB_NS"], "ldapdelete", "-x",
               "-H", "ldap://" + env["LAB_DC_IP"], "-o", "nettimeout=10",
               "-D", "Administrator@" + env["LAB_DOMAIN"],
               "-w", env["LAB_ADMIN_PASSWORD"], "-r", dn]
    code = subprocess.run(command, capture_output=True, timeout=LDAP_TIMEOUT).returncode
    if code not in (0, 32):
        raise AssertionError(f"could not delete {dn} (ldapdelete exit {code})")


def set_values(dn, attribute_name, values):
    """Replaces every value of an attribute (none: removes the attribute)."""
    lines = [f"dn: {dn}", "changetype: modify", f"replace: {attribute_name}"]
    lines += [f"{attribute_name}: {v}" for v in values]
    ldapmodify("\n".join(lines) + "\n-\n")


# ---- Objects a test makes for itself -----------------------------------------

DAY = 864000000000      # 100-ns units
MINUTE = 600000000
NEVER = "-9223372036854775808"

# A PSO's settings in talvex's units: minutes and days (-1: never), booleans.
# The defaults of a new PSO that names only its name and precedence:
DEFAULT_SETTINGS = dict(threshold=25, duration=5, window=5, maxage=91, minage=0,
                        minlen=15, history=24, complexity=True, reversible=False)
# Those of the PSOs the suites that only read make, where they name none.
READ_SUITE_SETTINGS = dict(threshold=0, duration=30, window=30, maxage=60, minage=1,
                           minlen=10, history=5, complexity=True, reversible=False)


def interval(count, factor):
    """A count of minutes or days as the directory writes it."""
    if count == -1:
        return NEVER
    return "0" if count == 0 else str(-count * factor)


def boolean(value):
    return "TRUE" if value else "FALSE"


def pso_values(precedence, defaults=DEFAULT_SETTINGS, **settings):
    """Attribute name to the single value talvex or the lab writes."""
    s = dict(defaults, **settings)
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


def ldif_line(name, value):
    """An LDIF line; base64 for text that is not plain printable ASCII."""
    if value.isascii() and value.isprintable() and not value.startswith((" ", ":", "<")):
        return f"{name}: {value}"
    return f"{name}:: {base64.b64encode(value.encode()).decode()}"


def pso_entry(dn, precedence, applies_to=(), name=None, display_name=None, admin_name=None,
              defaults=READ_SUITE_SETTINGS, **settings):
    """LDIF of a Password Settings Object; the name is the RDN's unless given,
    and fills both display names unless they are given."""
    name = name or dn.split(",", 1)[0][3:]
    lines = [ldif_line("dn", dn), "objectClass: msDS-PasswordSettings",
             ldif_line("displayName", display_name or name),
             ldif_line("adminDisplayName", admin_name or name)]
    lines += [f"{a}: {v}" for a, v in pso_values(precedence, defaults, **settings).items()]
    lines += [ldif_line("msDS-PSOAppliesTo", target) for target in applies_to]
    return "\n".join(lines) + "\n\n"


def create_pso(dn, precedence, applies_to=(), display_name=None, **settings):
    """Adds a PSO with talvex's defaults where the test names nothing."""
    add_ldif(pso_entry(dn, precedence, applies_to, display_name=display_name,
                       defaults=DEFAULT_SETTINGS, **settings))
    return dn


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


# ---- What talvex should show ----------------------------------------------------

PSO_TYPE = "Policy Settings Object"
DOMAIN_POLICY_TYPE = "Domain Policy"
DOMAIN_POLICY_PRECEDENCE = 2147483647
# The last nine of the sixteen lines of a policy's display, by setting.
SETTING_LABELS = (("Lockout Threshold", "threshold"), ("Lockout Duration", "duration"),
                  ("Lockout Observation", "window"), ("Min Pwd Age", "minage"),
                  ("Max Pwd Age", "maxage"), ("Min Pwd Length", "minlen"),
                  ("Pwd History", "history"), ("Pwd Complexity", "complexity"),
                  ("Pwd Reversible", "reversible"))


class Policy:
    """A policy with the figures talvex shows: settings as in
    DEFAULT_SETTINGS (those not given are the defaults), or as the text
    shown."""

    def __init__(self, dn="", precedence=0, type_=PSO_TYPE, domain="", name="", canonical="",
                 display_name="", **settings):
        self.dn = dn
        self.is_pso = type_ == PSO_TYPE
        s = dict(DEFAULT_SETTINGS, **settings)
        self.fields = {"Type": type_, "Domain": domain, "Policy Precedence": str(precedence),
                       "DN": dn, "Name": name, "Canonical Name": canonical,
                       "Display Name": display_name}  # label -> text, in display order
        for label, key in SETTING_LABELS:
            value = s[key]
            self.fields[label] = boolean(value) if isinstance(value, bool) else str(value)

    @property
    def canonical_name(self):
        return self.fields["Canonical Name"]

    @property
    def precedence(self):
        return int(self.fields["Policy Precedence"])

    @property
    def domain(self):
        return self.fields["Domain"]

    def lines(self):
        """The sixteen lines of its display."""
        return [f"    {label:<19}: {value}" for label, value in self.fields.items()]

    def block(self):
        return text(self.lines())


def dns_name(dn):
    """The domain's DNS name from the DC= parts of a DN, lower-cased."""
    parts = [p.strip() for p in dn.split(",")]
    return ".".join(p[3:] for p in parts if p.lower().startswith("dc=")).lower()


def _count(text_, unit):
    if text_ == NEVER:
        return -1
    digits = text_.lstrip("-")
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


def read_pso(dn):
    """A PSO as read with ldapsearch."""
    entry = read_entry(dn, PSO_ATTRIBUTES)
    if entry is None:
        raise AssertionError(f"no PSO {dn}")
    first = lambda name, default="0": (attribute(entry, name) or [default])[0]
    name = first("name", "")
    return Policy(
        dn, int(first("msDS-PasswordSettingsPrecedence")), domain=dns_name(dn), name=name,
        canonical=first("canonicalName", ""), display_name=first("displayName", name),
        threshold=int(first("msDS-LockoutThreshold")),
        duration=_count(first("msDS-LockoutDuration"), MINUTE),
        window=_count(first("msDS-LockoutObservationWindow"), MINUTE),
        minage=_count(first("msDS-MinimumPasswordAge"), DAY),
        maxage=_count(first("msDS-MaximumPasswordAge"), DAY),
        minlen=int(first("msDS-MinimumPasswordLength")),
        history=int(first("msDS-PasswordHistoryLength")),
        complexity=first("msDS-PasswordComplexityEnabled", "FALSE").upper(),
        reversible=first("msDS-PasswordReversibleEncryptionEnabled", "FALSE").upper())


def read_domain_policy(dn):
    """The domain policy as read with ldapsearch."""
    entry = read_entry(dn, DOMAIN_ATTRIBUTES)
    if entry is None:
        raise AssertionError(f"no domain head {dn}")
    first = lambda name, default="0": (attribute(entry, name) or [default])[0]
    properties = int(first("pwdProperties") or 0)
    rdn_value = dn.split(",")[0].split("=", 1)[1]
    return Policy(
        dn, DOMAIN_POLICY_PRECEDENCE, DOMAIN_POLICY_TYPE, dns_name(dn),
        name=first("name", rdn_value), canonical=first("canonicalName", ""),
        display_name=rdn_value, threshold=int(first("lockoutThreshold")),
        duration=_count(first("lockoutDuration"), MINUTE),
        window=_count(first("lockOutObservationWindow"), MINUTE),
        minage=_count(first("minPwdAge"), DAY), maxage=_count(first("maxPwdAge"), DAY),
        minlen=int(first("minPwdLength")), history=int(first("pwdHistoryLength")),
        complexity=bool(properties & 1), reversible=bool(properties & 16))


def default_order(policies):
    """Domain policies first, then by canonical name in byte order."""
    by_key = sorted(policies, key=lambda p: p.dn.lower())  # the policy list's order
    return sorted(by_key, key=lambda p: (p.is_pso, p.canonical_name.encode("utf-8")))


def precedence_order(policies):
    """By domain in byte order, then by precedence."""
    by_key = sorted(policies, key=lambda p: p.dn.lower())
    return sorted(by_key, key=lambda p: (p.domain.encode("utf-8"), p.precedence))


def listing(policies, dn_only=False, dn_with_precedence=False, after=None):
    """The policy listing of -view and -applied in the order given; after(dn)
    is the text that follows each policy (-applied's members)."""
    shown = "\nPolicy Listing\n--------------\n"
    for number, policy in enumerate(policies, 1):
        if dn_with_precedence:
            shown += "    " + f"({policy.precedence})".ljust(14) + policy.dn + "\n"
        elif dn_only:
            shown += "    " + policy.dn + "\n"
        else:
            shown += f"  Policy #{number}\n" + policy.block() + "\n"
        shown += after(policy.dn) if after else ""
    return shown


# ---- The domain policy's values, set and restored --------------------------------

DOMAIN_POLICY_ATTRIBUTES = ("lockoutDuration", "lockOutObservationWindow",
                            "lockoutThreshold", "maxPwdAge", "minPwdAge",
                            "minPwdLength", "pwdHistoryLength", "pwdProperties")


def domain_policy_values(base_dn):
    entry = read_entry(base_dn, DOMAIN_POLICY_ATTRIBUTES)
    return {a: attribute(entry, a)[0] for a in DOMAIN_POLICY_ATTRIBUTES}


def write_domain_policy(base_dn, values):
    lines = [f"dn: {base_dn}", "changetype: modify"]
    for attribute_name, value in values.items():
        lines += [f"replace: {attribute_name}", f"{attribute_name}: {value}", "-"]
    ldapmodify("\n".join(lines) + "\n")


def domain_policy_settings(values):
    """The domain policy's settings in talvex's units."""
    properties = int(values["pwdProperties"])
    return dict(threshold=int(values["lockoutThreshold"]),
                duration=_count(values["lockoutDuration"], MINUTE),
                window=_count(values["lockOutObservationWindow"], MINUTE),
                maxage=_count(values["maxPwdAge"], DAY),
                minage=_count(values["minPwdAge"], DAY),
                minlen=int(values["minPwdLength"]),
                history=int(values["pwdHistoryLength"]),
                complexity=bool(properties & 1),
                reversible=bool(properties & 16))


# ---- Security descriptors -----------------------------------------------------

# The schema GUID of the msDS-PasswordSettings class (MS-ADSC), the object
# type of a deny-delete-child ACE on the container.
PSO_CLASS_GUID = "3bcd9db8-f84b-451c-952f-6c52b81f9ec6"

_ACL_SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pso_acl.py")


def _acl(action, dn, ace):
    """Adds or removes one ACE of an object's DACL, as Administrator."""
    env = require_lab()
    command = ["ip", "netns", "exec", env.get("LAB_NS", "talvexlab"),
               "/usr/bin/python3", _ACL_SCRIPT, action, env["LAB_DC_IP"],
               env["LAB_ADMIN_PASSWORD"], dn, ace]
    done = subprocess.run(command, capture_output=True, timeout=LDAP_TIMEOUT)
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


# ---- Test cases ----------------------------------------------------------------

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
        # A run's first line: the located controller's site and name.
        cls.host_line = f"Using host: Default-First-Site-Name\\{cls.dc_host}"
        cls.using_host = cls.host_line + "\n"

    @classmethod
    def own_objects(cls, psos):
        """The class's own PSOs and cls.ou with everything in it: removed now
        (left over from a run that was cut short) and when the class ends."""
        def remove():
            for dn in psos:
                delete_if_present(dn)
            delete_tree(cls.ou)
        remove()
        cls.addClassCleanup(remove)

    @classmethod
    def pso_dn(cls, name):
        return f"CN={name},{cls.pso_container}"

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


# Show Deleted (1.2.840.113556.1.4.417): a deleted PSO is a write too.
SHOW_DELETED = ("-E", "!1.2.840.113556.1.4.417")


class ChangesTestCase(LabTestCase):
    """The changing actions: runs talvex with -q (the banner is the front
    end's, not these tests'), and checks that a run wrote nothing."""

    # What these tests' runs could write: their own PSOs (all named
    # tvxchg-...), the quick-start PSOs and the domain head.
    WATCHED = ("cn=tvxchg-", "cn=dompol_", "cn=pwd_policy_")

    def talvex(self, *args, **kwargs):
        return run_talvex("-q", *args, **kwargs)

    def made(self, name, precedence=None, **settings):
        """The DN of a PSO the test makes (with precedence: now, with
        create_pso), removed when the test ends."""
        dn = self.pso_dn(name)
        delete_if_present(dn)
        self.addCleanup(delete_if_present, dn)
        return dn if precedence is None else create_pso(dn, precedence, **settings)

    def assertNothingWrittenSince(self, usn, note=""):
        """The RootDSE's highestCommittedUSN is unchanged. When it moved
        (other test runs share the lab), no entry these runs could write was
        written: not the domain head, no PSO of these tests, none deleted."""
        if highest_committed_usn() == usn:
            return
        written = [dn.lower() for dn, _ in ldapsearch(
            filter=f"(uSNChanged>={usn + 1})", attributes=["1.1"], extra=SHOW_DELETED)]
        ours = [dn for dn in written
                if dn == self.base_dn.lower() or dn.startswith(self.WATCHED)]
        self.assertEqual([], ours, f"written since USN {usn}\n{note}")

    def talvex_writing_nothing(self, *args, code=0):
        """Runs talvex, expects the exit code and that nothing was written."""
        usn = highest_committed_usn()
        out, err, rc = self.talvex(*args)
        self.assertNothingWrittenSince(usn, out + err)
        self.assertEqual(code, rc, out + err)
        return out, err
