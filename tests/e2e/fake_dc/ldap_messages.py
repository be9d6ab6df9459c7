"""LDAP messages (RFC 4511) as the fake controller reads and writes them:
requests become small dicts, answers are built from plain values.

Standard library only.
"""

import ber

# Protocol operations ([APPLICATION n] tags).
BIND, BIND_RESULT = 0x60, 0x61
UNBIND = 0x42
SEARCH, SEARCH_ENTRY, SEARCH_DONE = 0x63, 0x64, 0x65
MODIFY, MODIFY_RESULT = 0x66, 0x67
ADD, ADD_RESULT = 0x68, 0x69
DELETE, DELETE_RESULT = 0x4A, 0x6B
MODIFY_DN, MODIFY_DN_RESULT = 0x6C, 0x6D
ABANDON = 0x50
EXTENDED, EXTENDED_RESULT = 0x77, 0x78

WRITES = {MODIFY: "modify", ADD: "add", DELETE: "delete", MODIFY_DN: "modrdn"}
RESULT_OF = {BIND: BIND_RESULT, SEARCH: SEARCH_DONE, MODIFY: MODIFY_RESULT,
             ADD: ADD_RESULT, DELETE: DELETE_RESULT,
             MODIFY_DN: MODIFY_DN_RESULT, EXTENDED: EXTENDED_RESULT}

START_TLS_OID = "1.3.6.1.4.1.1466.20037"
PAGED_RESULTS_OID = "1.2.840.113556.1.4.319"

SCOPES = {0: "base", 1: "one", 2: "sub"}


def _text(value):
    return value.decode("utf-8", "replace")


def decode_filter(data):
    """A filter as nested tuples: ("and", [...]), ("eq", attr, value) ..."""
    tag, value, _ = ber.read(data)
    kind = tag & 0x1F
    if kind in (0, 1):
        return ("and" if kind == 0 else "or",
                [decode_filter(ber.tlv(t, v)) for t, v in ber.elements(value)])
    if kind == 2:
        return ("not", decode_filter(value))
    if kind == 7:
        return ("present", _text(value))
    if kind in (3, 5, 6, 8):
        (_, attr), (_, assertion) = ber.elements(value)
        name = {3: "eq", 5: "ge", 6: "le", 8: "eq"}[kind]
        return (name, _text(attr), _text(assertion))
    if kind == 4:
        parts = ber.elements(value)
        attr = _text(parts[0][1])
        pieces = [(t & 0x1F, _text(v)) for t, v in ber.elements(parts[1][1])]
        return ("substrings", attr, pieces)
    if kind == 9:
        fields = {t & 0x1F: _text(v) for t, v in ber.elements(value)}
        return ("extensible", fields.get(2, ""), fields.get(1, ""), fields.get(3, ""))
    raise ber.BerError(f"filter tag {tag:#x}")


def decode_controls(data):
    controls = {}
    for _, control in ber.elements(data):
        parts = ber.elements(control)
        oid = _text(parts[0][1])
        value = next((v for t, v in parts[1:] if t == ber.OCTET_STRING), None)
        controls[oid] = value
    return controls


def decode_message(data):
    """One LDAPMessage as {"id", "op", "controls", ...op's fields}."""
    _, body, _ = ber.read(data)
    parts = ber.elements(body)
    message = {"id": ber.to_int(parts[0][1]), "op": parts[1][0], "controls": {}}
    for tag, value in parts[2:]:
        if tag == 0xA0:
            message["controls"] = decode_controls(value)
    op, value = parts[1]
    if op == BIND:
        fields = ber.elements(value)
        message["dn"] = _text(fields[1][1])
        message["simple"] = fields[2][0] == 0x80
        message["password"] = fields[2][1] if message["simple"] else b""
    elif op == SEARCH:
        fields = ber.elements(value)
        message["base"] = _text(fields[0][1])
        message["scope"] = SCOPES.get(ber.to_int(fields[1][1]), "sub")
        message["size_limit"] = ber.to_int(fields[3][1])
        message["filter"] = decode_filter(ber.tlv(*fields[6]))
        message["attributes"] = [_text(v) for _, v in ber.elements(fields[7][1])]
    elif op == MODIFY:
        fields = ber.elements(value)
        message["dn"] = _text(fields[0][1])
        changes = []
        for _, change in ber.elements(fields[1][1]):
            (_, operation), (_, attribute) = ber.elements(change)
            (_, name), (_, values) = ber.elements(attribute)
            changes.append((ber.to_int(operation), _text(name),
                            [_text(v) for _, v in ber.elements(values)]))
        message["changes"] = changes
    elif op == ADD:
        fields = ber.elements(value)
        message["dn"] = _text(fields[0][1])
        attributes = {}
        for _, attribute in ber.elements(fields[1][1]):
            (_, name), (_, values) = ber.elements(attribute)
            attributes[_text(name)] = [_text(v) for _, v in ber.elements(values)]
        message["attributes"] = attributes
    elif op == DELETE:
        message["dn"] = _text(value)
    elif op == MODIFY_DN:
        fields = ber.elements(value)
        message["dn"] = _text(fields[0][1])
        message["new_rdn"] = _text(fields[1][1])
    elif op == EXTENDED:
        fields = ber.elements(value)
        message["oid"] = _text(fields[0][1])
    return message


def envelope(message_id, op, controls=b""):
    return ber.sequence(ber.integer(message_id), op, controls)


def result(message_id, result_tag, code, diagnostic="", matched="", extra=b"",
           controls=b""):
    op = ber.sequence(ber.enumerated(code), ber.octets(matched),
                      ber.octets(diagnostic), extra, tag=result_tag)
    return envelope(message_id, op, controls)


def entry(message_id, dn, attributes):
    """A SearchResultEntry; attributes: [(name, [values])]."""
    listed = b"".join(
        ber.sequence(ber.octets(name), ber.sequence(*[ber.octets(v) for v in values],
                                                    tag=ber.SET))
        for name, values in attributes)
    return envelope(message_id, ber.sequence(ber.octets(dn), ber.sequence(listed),
                                             tag=SEARCH_ENTRY))


def paged_control(cookie):
    """The paged-results control of a SearchResultDone (size 0: unknown)."""
    value = ber.sequence(ber.integer(0), ber.octets(cookie))
    control = ber.sequence(ber.octets(PAGED_RESULTS_OID), ber.octets(value))
    return ber.sequence(control, tag=0xA0)


def paged_request(value):
    """(page size, cookie) of a paged-results request control's value."""
    (_, size), (_, cookie) = ber.elements(ber.read(value)[1])
    return ber.to_int(size), cookie


def extended_result(message_id, code, oid="", diagnostic=""):
    extra = ber.octets(oid, tag=0x8A) if oid else b""
    return result(message_id, EXTENDED_RESULT, code, diagnostic, extra=extra)
