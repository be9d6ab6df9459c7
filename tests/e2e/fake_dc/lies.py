"""The named ways the fake controller lies; "honest" tells none.

Each lie changes one answer of an otherwise honest controller. The server
asks is_on(name) where an answer can lie; the lies that change entries are
applied here, to the entries an honest search found.

Standard library only.
"""

import directory
import ldap_messages as lm
import names as n
from directory import pso

LIES = {
    "honest": "no lie",
    "cldap-redirect": "the ping answers with a DnsHostName that resolves to the trap address",
    "cldap-malformed": "the ping's netlogon answer is cut short",
    "starttls-silent": "StartTLS is accepted, then no TLS handshake ever comes",
    "ldaps-silent": "LDAPS connections are accepted, then no TLS handshake ever comes",
    "starttls-reset": "StartTLS is accepted, then the connection is reset",
    "ranges-endless": "msDS-PSOAppliesTo and member come in ranges that never end",
    "ranges-backward": "the second range of msDS-PSOAppliesTo and member starts at 0 again",
    "paging-same-cookie": "every page of a PSO search is the first again, under one cookie",
    "paging-cycle": "the pages of a PSO search cycle through two cookies",
    "paging-empty": "a PSO search sends pages without entries, each with a new cookie, for ever",
    "big-page": "a PSO search asking for pages of 100 gets one page of 100,000 PSOs",
    "many-psos": "no lie: a PSO search finds 100,000 PSOs, paged as asked (big-page's yardstick)",
    "partitions-error": "the search of the Partitions container fails with operationsError",
    "partitions-silent": "the search of the Partitions container is never answered",
    "write-code-256": "every write is refused with result code 256",
    "write-ignored": "every write is answered with success and not made",
    "letter-case": "attribute names come in other letter cases (MSDS-LOCKOUTTHRESHOLD, minpwdlength)",
    "outside-pso": "a PSO search also returns a PSO of DC=other,DC=example",
    "second-value": "msDS-MinimumPasswordLength of pso-staff holds a second value",
}

# Values handed out per range: many, so that a client's bound on the
# values is reached in a few hundred reads.
RANGE_SIZE = 10000
RANGED = ("msds-psoappliesto", "member")
RANGE_VALUES = [f"CN=m{i}" for i in range(RANGE_SIZE)]
BIG_PAGE_ENTRIES = 100000
OUTSIDE_PSO_DN, _ = pso("outside", 1, 1, 1, domain_dn=n.OTHER_DOMAIN_DN)


def is_pso_search(message):
    return "msds-passwordsettings" in repr(message["filter"]).lower()


def big_page(message_id, requested, first=0, count=BIG_PAGE_ENTRIES):
    """PSO entries first... of 100,000, each an honest one under its own
    name: one entry encoded, the others made from it by a name of the same
    length."""
    template = "bulk-000000"
    dn, attributes = pso(template, 100, 12, 5)
    encoded = lm.entry(message_id, dn, directory.selected(attributes, requested))
    last = min(first + count, BIG_PAGE_ENTRIES)
    return b"".join(encoded.replace(template.encode(), f"bulk-{i:06}".encode())
                    for i in range(first, last))


def _other_case(name):
    """MSDS-LOCKOUTTHRESHOLD for a PSO's attributes, minpwdlength for the
    rest: the same descriptions in other letter cases (RFC 4512 2.5)."""
    return name.upper() if name.lower().startswith("msds-") else name.lower()


def change_entries(lie, message, found):
    """The entries [(dn, [(name, values)])] a lying server sends instead."""
    if lie == "letter-case":
        return [(dn, [(_other_case(a), v) for a, v in attrs]) for dn, attrs in found]
    if lie == "outside-pso" and is_pso_search(message):
        _, outside = pso("outside", 1, 1, 1, domain_dn=n.OTHER_DOMAIN_DN)
        return found + [(OUTSIDE_PSO_DN, list(outside.items()))]
    if lie == "second-value":
        changed = []
        for dn, attrs in found:
            if dn.lower().startswith("cn=pso-staff,"):
                attrs = [(a, v + ["8"] if a.lower() == "msds-minimumpasswordlength" else v)
                         for a, v in attrs]
            changed.append((dn, attrs))
        return changed
    if lie in ("ranges-endless", "ranges-backward"):
        changed = []
        for dn, attrs in found:
            ranged = []
            for a, v in attrs:
                base, _, option = a.partition(";")
                if base.lower() not in RANGED:
                    ranged.append((a, v))
                    continue
                low = int(option[6:].split("-")[0]) if option else 0
                if lie == "ranges-backward" and low > 0:
                    low = 0
                ranged.append((f"{base};range={low}-{low + RANGE_SIZE - 1}", RANGE_VALUES))
            changed.append((dn, ranged))
        return changed
    return found
