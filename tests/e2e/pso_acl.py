"""Adds or removes one ACE of an object's DACL on the lab DC:

    pso_acl.py add|remove DC_IP ADMIN_PASSWORD DN ACE

Runs with the system python inside the lab namespace, where Samba's own
python modules are; ldapmodify cannot send the SD-flags control that writing
only the DACL needs. "remove" of an ACE that is not there changes nothing.
"""

import sys

import ldb
from samba.credentials import Credentials
from samba.dcerpc import security
from samba.ndr import ndr_pack, ndr_unpack
from samba.param import LoadParm
from samba.samdb import SamDB

# SD flags control value 4: DACL only, so owner, group and SACL stay.
DACL_ONLY = ["sd_flags:1:4"]


def main(action, dc_ip, password, dn, ace):
    lp = LoadParm()
    creds = Credentials()
    creds.guess(lp)
    creds.set_username("Administrator")
    creds.set_password(password)
    db = SamDB(url=f"ldap://{dc_ip}", credentials=creds, lp=lp)
    res = db.search(base=dn, scope=ldb.SCOPE_BASE, attrs=["nTSecurityDescriptor"],
                    controls=DACL_ONLY)
    if not res:
        return 0
    sddl = ndr_unpack(security.descriptor, res[0]["nTSecurityDescriptor"][0]).as_sddl()
    if action == "add":
        if ace in sddl:
            return 0
        # Deny ACEs go first in the DACL: right after "D:" and its flags.
        start = sddl.index("D:") + 2
        while start < len(sddl) and sddl[start] not in "(S":
            start += 1
        sddl = sddl[:start] + ace + sddl[start:]
    elif action == "remove":
        if ace not in sddl:
            return 0
        sddl = sddl.replace(ace, "")
    else:
        raise SystemExit(f"unknown action {action}")
    descriptor = security.descriptor.from_sddl(sddl, security.dom_sid(db.get_domain_sid()))
    message = ldb.Message()
    message.dn = ldb.Dn(db, dn)
    message["nTSecurityDescriptor"] = ldb.MessageElement(
        ndr_pack(descriptor), ldb.FLAG_MOD_REPLACE, "nTSecurityDescriptor")
    db.modify(message, controls=DACL_ONLY)
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
