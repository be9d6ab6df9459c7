"""The BER the fake controller speaks: definite lengths only, as LDAP
requires (RFC 4511 5.1). Encoders return bytes; the decoder reads one
element (tag, value bytes, the rest).

Standard library only.
"""

SEQUENCE = 0x30
SET = 0x31
INTEGER = 0x02
OCTET_STRING = 0x04
ENUMERATED = 0x0A
BOOLEAN = 0x01


def length(n):
    if n < 0x80:
        return bytes([n])
    raw = n.to_bytes((n.bit_length() + 7) // 8, "big")
    return bytes([0x80 | len(raw)]) + raw


def tlv(tag, value):
    return bytes([tag]) + length(len(value)) + value


def integer(n, tag=INTEGER):
    size = max(1, (n.bit_length() + 8) // 8)
    return tlv(tag, n.to_bytes(size, "big", signed=True))


def enumerated(n):
    return integer(n, ENUMERATED)


def octets(value, tag=OCTET_STRING):
    if isinstance(value, str):
        value = value.encode("utf-8")
    return tlv(tag, value)


def boolean(value):
    return tlv(BOOLEAN, b"\xff" if value else b"\x00")


def sequence(*parts, tag=SEQUENCE):
    return tlv(tag, b"".join(parts))


class BerError(ValueError):
    pass


def read(data):
    """(tag, value, rest) of the first element; BerError when cut short."""
    if len(data) < 2:
        raise BerError("element cut short")
    tag, first = data[0], data[1]
    at = 2
    if first & 0x80:
        count = first & 0x7F
        if count == 0 or count > 4 or len(data) < at + count:
            raise BerError("bad length")
        n = int.from_bytes(data[at:at + count], "big")
        at += count
    else:
        n = first
    if len(data) < at + n:
        raise BerError("element cut short")
    return tag, data[at:at + n], data[at + n:]


def elements(data):
    """Every element of a constructed value, as (tag, value) pairs."""
    found = []
    while data:
        tag, value, data = read(data)
        found.append((tag, value))
    return found


def to_int(value):
    return int.from_bytes(value, "big", signed=True) if value else 0


def message_length(data):
    """Bytes of the first whole element in data, or None when more must come."""
    if len(data) < 2:
        return None
    first = data[1]
    if not first & 0x80:
        header, n = 2, first
    else:
        count = first & 0x7F
        if len(data) < 2 + count:
            return None
        header, n = 2 + count, int.from_bytes(data[2:2 + count], "big")
    return header + n if len(data) >= header + n else None
