"""The fake controller's directory: a tiny Active Directory domain
(fake.example) held in memory, searched with LDAP filters and changed by
the writes it is sent.

Standard library only.
"""

import re

import names as n

DAY = 864000000000     # 100-ns units
MINUTE = 600000000
SCHEMA_DN = "CN=Schema," + n.CONFIGURATION_DN
PSO_CATEGORY = "CN=ms-DS-Password-Settings," + SCHEMA_DN
STAFF_DN = "CN=Staff,CN=Users," + n.DOMAIN_DN
USER_DN = "CN=alice,CN=Users," + n.DOMAIN_DN

# Active Directory's bitwise matching rules (MS-ADTS 3.1.1.3.4.4.3).
BIT_AND = "1.2.840.113556.1.4.803"
BIT_OR = "1.2.840.113556.1.4.804"

ROOT_DSE = {
    "defaultNamingContext": [n.DOMAIN_DN],
    "rootDomainNamingContext": [n.DOMAIN_DN],
    "configurationNamingContext": [n.CONFIGURATION_DN],
    "schemaNamingContext": [SCHEMA_DN],
    "namingContexts": [n.DOMAIN_DN, n.CONFIGURATION_DN, SCHEMA_DN],
    "dnsHostName": [n.DC_HOST],
    "serverName": [f"CN=DC,CN=Servers,CN={n.SITE},CN=Sites,{n.CONFIGURATION_DN}"],
    "dsServiceName": [f"CN=NTDS Settings,CN=DC,CN=Servers,CN={n.SITE},CN=Sites,"
                      f"{n.CONFIGURATION_DN}"],
    "ldapServiceName": [f"{n.DOMAIN}:dc$@{n.DOMAIN.upper()}"],
    "highestCommittedUSN": ["4242"],
    "currentTime": ["20261208120000.0Z"],
    "isGlobalCatalogReady": ["TRUE"],
    "isSynchronized": ["TRUE"],
    "domainFunctionality": ["7"],
    "forestFunctionality": ["7"],
    "domainControllerFunctionality": ["7"],
    "supportedLDAPVersion": ["3"],
    "supportedControl": ["1.2.840.113556.1.4.319", "1.2.840.113556.1.4.417",
                         "1.2.840.113556.1.4.529", "1.2.840.113556.1.4.801",
                         "1.2.840.113556.1.4.1504", "1.2.840.113556.1.4.1340"],
    "supportedExtension": ["1.3.6.1.4.1.1466.20037", "1.3.6.1.4.1.4203.1.11.3"],
    "supportedCapabilities": ["1.2.840.113556.1.4.800", "1.2.840.113556.1.4.1670",
                              "1.2.840.113556.1.4.1791", "1.2.840.113556.1.4.1935",
                              "1.2.840.113556.1.4.2080"],
    "supportedSASLMechanisms": ["GSSAPI", "GSS-SPNEGO"],
}


def pso(name, precedence, minlen, threshold, applies_to=(), domain_dn=n.DOMAIN_DN):
    container = "CN=Password Settings Container,CN=System," + domain_dn
    dns_name = ".".join(part.split("=", 1)[1] for part in domain_dn.split(","))
    return f"CN={name},{container}", {
        "objectClass": ["top", "msDS-PasswordSettings"],
        "objectCategory": [PSO_CATEGORY],
        "name": [name],
        "canonicalName": [f"{dns_name}/System/Password Settings Container/{name}"],
        "msDS-PasswordSettingsPrecedence": [str(precedence)],
        "msDS-PasswordReversibleEncryptionEnabled": ["FALSE"],
        "msDS-PasswordHistoryLength": ["24"],
        "msDS-PasswordComplexityEnabled": ["TRUE"],
        "msDS-MinimumPasswordLength": [str(minlen)],
        "msDS-MinimumPasswordAge": [str(-1 * DAY)],
        "msDS-MaximumPasswordAge": [str(-60 * DAY)],
        "msDS-LockoutThreshold": [str(threshold)],
        "msDS-LockoutObservationWindow": [str(-30 * MINUTE)],
        "msDS-LockoutDuration": [str(-30 * MINUTE)],
        **({"msDS-PSOAppliesTo": list(applies_to)} if applies_to else {}),
    }


def honest_entries():
    """The domain as an honest controller holds it: {dn: {name: [values]}}."""
    partitions = "CN=Partitions," + n.CONFIGURATION_DN
    entries = {
        n.DOMAIN_DN: {
            "objectClass": ["top", "domain", "domainDNS"],
            "name": ["fake"], "canonicalName": [n.DOMAIN + "/"],
            "maxPwdAge": [str(-42 * DAY)], "minPwdAge": [str(-1 * DAY)],
            "minPwdLength": ["7"], "pwdHistoryLength": ["24"], "pwdProperties": ["1"],
            "lockoutThreshold": ["0"], "lockoutDuration": [str(-30 * MINUTE)],
            "lockOutObservationWindow": [str(-30 * MINUTE)],
        },
        "CN=Users," + n.DOMAIN_DN: {"objectClass": ["top", "container"], "name": ["Users"]},
        "CN=System," + n.DOMAIN_DN: {"objectClass": ["top", "container"], "name": ["System"]},
        n.PSO_CONTAINER: {"objectClass": ["top", "msDS-PasswordSettingsContainer"],
                          "name": ["Password Settings Container"]},
        n.ADMIN_DN: {"objectClass": ["top", "person", "user"],
                     "objectCategory": ["CN=Person," + SCHEMA_DN],
                     "name": ["Administrator"], "sAMAccountName": ["Administrator"]},
        STAFF_DN: {"objectClass": ["top", "group"], "objectCategory": ["CN=Group," + SCHEMA_DN],
                   "name": ["Staff"], "sAMAccountName": ["Staff"],
                   "groupType": ["-2147483646"], "member": [USER_DN]},
        USER_DN: {"objectClass": ["top", "person", "user"],
                  "objectCategory": ["CN=Person," + SCHEMA_DN],
                  "name": ["alice"], "sAMAccountName": ["alice"],
                  "userPrincipalName": ["alice@" + n.DOMAIN], "memberOf": [STAFF_DN]},
        n.CONFIGURATION_DN: {"objectClass": ["top", "configuration"]},
        partitions: {"objectClass": ["top", "crossRefContainer"], "name": ["Partitions"]},
        f"CN={n.NETBIOS},{partitions}": {
            "objectClass": ["top", "crossRef"], "nCName": [n.DOMAIN_DN],
            "nETBIOSName": [n.NETBIOS], "dnsRoot": [n.DOMAIN], "systemFlags": ["3"]},
        f"CN=Enterprise Configuration,{partitions}": {
            "objectClass": ["top", "crossRef"], "nCName": [n.CONFIGURATION_DN],
            "dnsRoot": [n.DOMAIN], "systemFlags": ["1"]},
    }
    for dn, attributes in (pso("pso-staff", 10, 12, 5, [STAFF_DN]),
                           pso("pso-unused", 20, 14, 10)):
        entries[dn] = attributes
    entries[STAFF_DN]["msDS-PSOApplied"] = [dn for dn, a in entries.items()
                                            if STAFF_DN in a.get("msDS-PSOAppliesTo", [])]
    entries[USER_DN]["msDS-ResultantPSO"] = entries[STAFF_DN]["msDS-PSOApplied"][:1]
    return entries


def normal_dn(dn):
    return ",".join(part.strip().lower() for part in dn.split(","))


def parent_of(dn):
    return normal_dn(dn).split(",", 1)[1] if "," in dn else ""


def values_of(attributes, name):
    for key, values in attributes.items():
        if key.lower() == name.lower():
            return values
    return None


def _number(text):
    try:
        return int(text)
    except ValueError:
        return None


def matches(dn, attributes, node):
    kind = node[0]
    if kind == "and":
        return all(matches(dn, attributes, child) for child in node[1])
    if kind == "or":
        return any(matches(dn, attributes, child) for child in node[1])
    if kind == "not":
        return not matches(dn, attributes, node[1])
    name = node[1].lower()
    if name == "distinguishedname":
        values = [dn]
    else:
        values = values_of(attributes, name) or []
    if kind == "present":
        return name == "objectclass" or bool(values)
    if kind == "eq":
        wanted = node[2].lower()
        if name == "objectcategory":
            classes = values_of(attributes, "objectClass") or []
            if any(c.lower() == wanted for c in classes):
                return True
        if name in ("distinguishedname", "objectcategory", "member", "msds-psoappliesto",
                    "msds-psoapplied", "memberof"):
            return any(normal_dn(v) == normal_dn(node[2]) for v in values)
        return any(v.lower() == wanted for v in values)
    if kind in ("ge", "le"):
        for v in values:
            a, b = _number(v), _number(node[2])
            if a is None or b is None:
                a, b = v.lower(), node[2].lower()
            if (a >= b) if kind == "ge" else (a <= b):
                return True
        return False
    if kind == "substrings":
        pattern = ""
        for position, piece in node[2]:
            piece = re.escape(piece.lower())
            pattern += {0: piece + ".*", 1: ".*" + piece + ".*", 2: ".*" + piece}[position]
        pattern = re.sub(r"(\.\*)+", ".*", pattern)
        return any(re.fullmatch(pattern, v.lower(), re.S) for v in values)
    if kind == "extensible":
        _, _, rule, assertion = node
        wanted = _number(assertion) or 0
        for v in values:
            have = _number(v) or 0
            if rule == BIT_AND and have & wanted == wanted:
                return True
            if rule == BIT_OR and have & wanted:
                return True
        return False
    return False


def in_scope(dn, base, scope):
    d, b = normal_dn(dn), normal_dn(base)
    if scope == "base":
        return d == b
    if scope == "one":
        return parent_of(dn) == b
    return d == b or not b or d.endswith("," + b)


def selected(attributes, requested):
    """The entry's attributes a search asked for, [(name, values)]; a range
    option ("member;range=N-*") gives the values from N on."""
    wanted = [r for r in requested if r != "1.1"]
    if not requested or "*" in wanted:
        chosen = [(k, v) for k, v in attributes.items()]
        wanted = [r for r in wanted if r != "*"]
    else:
        chosen = []
    for request in wanted:
        base, _, option = request.partition(";")
        values = values_of(attributes, base)
        if values is None:
            continue
        name = next(k for k in attributes if k.lower() == base.lower())
        if option.lower().startswith("range="):
            low = int(option[6:].split("-")[0])
            chosen.append((f"{name};range={low}-*", values[low:]))
        elif all(k.lower() != name.lower() for k, _ in chosen):
            chosen.append((name, values))
    return chosen


class Directory:
    def __init__(self):
        self.entries = honest_entries()

    def find(self, dn):
        for key in self.entries:
            if normal_dn(key) == normal_dn(dn):
                return key
        return None

    def search(self, base, scope, filter_):
        """(code, [(dn, attributes)]) in the directory's order."""
        if base == "" and scope == "base":
            return 0, [("", ROOT_DSE)]
        if base and self.find(base) is None:
            return 32, []
        return 0, [(dn, a) for dn, a in self.entries.items()
                   if in_scope(dn, base, scope) and matches(dn, a, filter_)]

    def modify(self, dn, changes):
        key = self.find(dn)
        if key is None:
            return 32
        attributes = self.entries[key]
        for operation, name, values in changes:
            existing = next((k for k in attributes if k.lower() == name.lower()), name)
            if operation == 2 or (operation == 1 and not values):
                attributes.pop(existing, None)
                if operation == 2 and values:
                    attributes[existing] = list(values)
            elif operation == 0:
                attributes.setdefault(existing, []).extend(values)
            else:
                kept = [v for v in attributes.get(existing, []) if v not in values]
                attributes[existing] = kept
                if not kept:
                    attributes.pop(existing)
        return 0

    def add(self, dn, attributes):
        if self.find(dn) is not None:
            return 68
        self.entries[dn] = dict(attributes)
        return 0

    def delete(self, dn):
        key = self.find(dn)
        if key is None:
            return 32
        del self.entries[key]
        return 0

    def rename(self, dn, new_rdn):
        key = self.find(dn)
        if key is None:
            return 32
        new_dn = new_rdn + "," + key.split(",", 1)[1]
        self.entries[new_dn] = self.entries.pop(key)
        self.entries[new_dn]["name"] = [new_rdn.split("=", 1)[1]]
        return 0


