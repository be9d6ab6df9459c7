#!/usr/bin/env bash
# The Windows build writes the SIDs and security descriptors of real lab
# objects as our own encoders do:
#   wine_security_values.sh talvex_tests.exe
# Reads objectSid and nTSecurityDescriptor (owner, group, DACL and SACL) of
# a spread of the lab's objects with ldapsearch and runs the unit binary's
# lab comparison on them under Wine.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tests_exe=${1:?usage: wine_security_values.sh talvex_tests.exe}

export LAB_ENV=${TALVEX_LAB_ENV:-/tmp/talvex-lab/lab.env}
if [ ! -f "$LAB_ENV" ]; then
  [ -z "${CI:-}" ] || { echo "the lab is not running (no $LAB_ENV)" >&2; exit 1; }
  echo "skipped: the lab is not running (no $LAB_ENV)"
  exit 77
fi

# The domain head, the PSO container and the seeded PSOs, the seeded users,
# groups, computer and contact, the built-in accounts and groups, and some
# containers whose descriptors carry inherited and object ACEs.
names='(cn=Administrator)(cn=krbtgt)(cn=Guest)(cn=Domain Admins)(cn=Enterprise Admins)(cn=Schema Admins)(cn=Domain Users)(cn=Domain Computers)(cn=Domain Controllers)(cn=Cert Publishers)(cn=Group Policy Creator Owners)(cn=Protected Users)(cn=Read-only Domain Controllers)(cn=Administrators)(cn=Account Operators)(cn=Pre-Windows 2000 Compatible Access)(cn=AdminSDHolder)(cn=Users)(cn=Computers)(cn=System)(cn=Policies)(ou=Domain Controllers)(cn=DC1)(ou=Staff)(cn=alice)(cn=bob)(cn=carol)(cn=dave)(cn=pso-admins)(cn=pso-group)(cn=pso-unused)(cn=outer-group)(cn=WKS01)(cn=Ext Contact)'
filter="(|(objectClass=domainDNS)(objectClass=msDS-PasswordSettingsContainer)$names)"
values=$(mktemp /tmp/talvex-security-values.XXXXXX)
trap 'rm -f "$values" "$values.out"' EXIT

# 1.2.840.113556.1.4.801: the SD-flags control, 15 = owner, group, DACL, SACL.
"$TALVEX_SOURCE_DIR/lab/ldapsearch.sh" -LLL -E '!1.2.840.113556.1.4.801=::MAMCAQ8=' \
    "$filter" objectSid nTSecurityDescriptor |
  awk '/^dn: /{dn=substr($0,5)}
       /^objectSid:: /{print "sid", $2, dn}
       /^nTSecurityDescriptor:: /{print "sd", $2, dn}' |
  while read -r kind base64 source; do
    echo "$kind $(printf %s "$base64" | base64 -d | od -An -v -tx1 | tr -d ' \n') $source"
  done >"$values"

count=$(grep -c '^sd ' "$values" || true)
echo "$count objects, $(wc -l <"$values") values"
[ "$count" -ge 30 ] || { echo "too few lab objects read ($count)" >&2; exit 1; }

# Wine shows the Unix root as drive Z:. A test that skipped (the file not
# found) must not pass.
TALVEX_LAB_SECURITY_VALUES="Z:$values" bash "$here/wine_exec.sh" "$tests_exe" \
  --gtest_filter='SecurityTextLabTest.*' | tee "$values.out"
grep -q 'security descriptors compared' "$values.out"
