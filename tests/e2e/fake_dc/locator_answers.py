"""What the domain-controller locator asks the fake controller: the CLDAP
netlogon ping (an LDAP search over UDP 389, [MS-ADTS] 6.3.3) and the DNS
SRV and A records of the domain ([MS-ADTS] 6.3.6).

Standard library only.
"""

import struct
import uuid

import ber
import ldap_messages as lm
import names as n

LOGON_SAM_LOGON_RESPONSE_EX = 23
# [MS-ADTS] 6.3.1.2 DS_FLAG: PDC, GC, LDAP, DS, KDC, TIMESERV, CLOSEST,
# WRITABLE, GOOD_TIMESERV.
DS_FLAGS = 0x1 | 0x4 | 0x8 | 0x10 | 0x20 | 0x40 | 0x80 | 0x100 | 0x200
NT_VERSION_5EX = 0x1 | 0x4
DOMAIN_GUID = uuid.UUID("6f1a2b3c-4d5e-4f60-8172-839405a6b7c8")


def dns_name(name):
    """A name in DNS wire form without compression (as [MS-ADTS] 6.3.1.9
    allows); "" is the root, one zero byte."""
    wire = b""
    for label in name.split(".") if name else []:
        wire += bytes([len(label)]) + label.encode()
    return wire + b"\x00"


def netlogon_response(host_name=n.DC_HOST):
    """NETLOGON_SAM_LOGON_RESPONSE_EX ([MS-ADTS] 6.3.1.9) for this DC."""
    blob = struct.pack("<HHI", LOGON_SAM_LOGON_RESPONSE_EX, 0, DS_FLAGS)
    blob += DOMAIN_GUID.bytes_le
    for name in (n.DOMAIN, n.DOMAIN, host_name, n.NETBIOS, "DC", "", n.SITE, n.SITE):
        blob += dns_name(name)
    return blob + struct.pack("<IHH", NT_VERSION_5EX, 0xFFFF, 0xFFFF)


def ping_reply(message_id, netlogon):
    """The datagram answering a ping: the entry, then the done message."""
    found = lm.entry(message_id, "", [("Netlogon", [netlogon])])
    return found + lm.result(message_id, lm.SEARCH_DONE, 0)


# ---- DNS (RFC 1035) ------------------------------------------------------------

TYPE_A, TYPE_SRV = 1, 33


def _question(packet):
    """(id, flags, name, type, class, end of question) of a query."""
    ident, flags, count = struct.unpack("!HHH", packet[:6])
    at, labels = 12, []
    while packet[at]:
        size = packet[at]
        labels.append(packet[at + 1:at + 1 + size].decode("ascii", "replace"))
        at += 1 + size
    qtype, qclass = struct.unpack("!HH", packet[at + 1:at + 5])
    return ident, flags, ".".join(labels), qtype, qclass, at + 5, count


def srv_names():
    """The SRV names a locator asks for, each naming the one controller."""
    names = []
    for kind in ("dc", "gc"):
        names.append(f"_ldap._tcp.{kind}._msdcs.{n.DOMAIN}")
        names.append(f"_ldap._tcp.{n.SITE}._sites.{kind}._msdcs.{n.DOMAIN}")
    names += [f"_ldap._tcp.{n.DOMAIN}", f"_kerberos._tcp.{n.DOMAIN}"]
    return {name.lower() for name in names}


def compressed_target(question_name):
    """The DC's name as its first label and a pointer to the domain's name
    in the question (RFC 1035 4.1.4), as Samba answers: Wine 8's DNS
    parser refuses an uncompressed name that ends the packet."""
    labels = question_name.split(".")
    offset = 12 + sum(1 + len(label) for label in labels[:-len(n.DOMAIN.split("."))])
    first = n.DC_HOST.split(".")[0]
    return bytes([len(first)]) + first.encode() + struct.pack("!H", 0xC000 | offset)


def dns_reply(packet, hosts):
    """The answer to one query: SRV for the domain's locator names, A for
    the hosts, otherwise no such name."""
    ident, flags, name, qtype, qclass, end, count = _question(packet)
    if count != 1:
        return None
    key = name.lower().rstrip(".")
    answers = []
    if qtype == TYPE_SRV and key in srv_names():
        port = 3268 if ".gc." in key else 389
        target = compressed_target(name)
        data = struct.pack("!HHH", 0, 100, port) + target
        answers.append(struct.pack("!HHHIH", 0xC00C, TYPE_SRV, 1, 60, len(data)) + data)
    elif qtype == TYPE_A and key in hosts:
        data = bytes(int(part) for part in hosts[key].split("."))
        answers.append(struct.pack("!HHHIH", 0xC00C, TYPE_A, 1, 60, 4) + data)
    known = key in srv_names() or key in hosts
    rcode = 0 if known else 3
    # QR, opcode 0, AA, RD as asked; no recursion.
    reply_flags = 0x8000 | 0x0400 | (flags & 0x0100) | rcode
    header = struct.pack("!HHHHHH", ident, reply_flags, 1, len(answers), 0, 0)
    return header + packet[12:end] + b"".join(answers)


def ping_request(datagram):
    """(message id, DnsDomain asked for) of a netlogon ping, or None."""
    try:
        message = lm.decode_message(datagram)
    except (ber.BerError, IndexError, ValueError):
        return None
    if message["op"] != lm.SEARCH:
        return None
    domain = ""

    def walk(node):
        nonlocal domain
        if node[0] == "and":
            for child in node[1]:
                walk(child)
        elif node[0] == "eq" and node[1].lower() == "dnsdomain":
            domain = node[2]
    walk(message["filter"])
    return message["id"], domain
