#!/usr/bin/env bash
# Seeds the lab directory: lab/seed.sh [--reset] [--no-bulk] [STATE_DIR]
#
# Idempotent: adds only the seed objects that are missing. --reset first
# deletes OU=Staff, OU=Bulk and every PSO of the domain (test leftovers
# included), so the directory is back to the seed exactly. --no-bulk skips
# the 260 contacts under OU=Bulk that paged-search tests read.
#
# Seeded (base DC=corp,DC=example,DC=com):
#   OU=Staff: users alice, bob, dave (with userPrincipalName) and carol (without),
#     global groups pso-group (member dave) and outer-group (member pso-group),
#     computer WKS01, contact "Ext Contact"
#   CN=Password Settings Container,CN=System: PSOs pso-admins (precedence 10,
#     applies to alice), pso-group (20, applies to group pso-group), pso-unused
#     (30, applies to nothing)
#   OU=Bulk: contacts bulk-contact-0001 .. bulk-contact-0260
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

reset=no
bulk=yes
state_arg=""
for arg in "$@"; do
  case "$arg" in
    --reset) reset=yes ;;
    --no-bulk) bulk=no ;;
    -h | --help)
      sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    -*) lab_die "unknown option $arg" ;;
    *) state_arg="$arg" ;;
  esac
done

lab_require_root
if [ -n "$state_arg" ]; then
  LAB_ENV="$state_arg/lab.env"
fi
lab_load_env
lab_lock
started_ms=$(lab_now_ms)

BULK_CONTACTS=260
STAFF="OU=Staff,$LAB_BASE_DN"
BULK="OU=Bulk,$LAB_BASE_DN"
PSOS="CN=Password Settings Container,CN=System,$LAB_BASE_DN"

# Intervals are negative counts of 100 ns.
MINUTE=-600000000
DAY=-864000000000

# unicodePwd takes the quoted password in UTF-16LE, and only over an encrypted
# connection: users are added over LDAPS.
user_pwd_b64="$(printf '"%s"' "$LAB_USER_PASSWORD" | iconv -f UTF-8 -t UTF-16LE | base64 -w0)"

# Every DN that exists now in the seeded areas, one per line, lower-cased.
existing_dns() {
  local base
  for base in "$STAFF" "$BULK" "$PSOS"; do
    lab_ldap_tool ldapsearch "$LAB_DC_IP" -o ldif-wrap=no -LLL -b "$base" -s sub \
      '(objectClass=*)' 1.1 2>/dev/null | sed -n 's/^dn: //p' || true
  done | tr '[:upper:]' '[:lower:]'
}

# Appends an entry to the LDIF stream; its lines after the DN come on stdin.
# Entries that exist already are dropped from the stream before the add.
entry() {
  printf 'dn: %s\n' "$1" >>"$ldif"
  cat >>"$ldif"
  printf '\n\n' >>"$ldif"
}

user() {
  local name="$1" given="$2" upn="$3"
  {
    printf 'objectClass: user\nsAMAccountName: %s\ngivenName: %s\nsn: Example\n' "$name" "$given"
    printf 'displayName: %s Example\ndescription: Talvex lab user\n' "$given"
    [ "$upn" = upn ] && printf 'userPrincipalName: %s@%s\n' "$name" "$LAB_DOMAIN"
    printf 'unicodePwd:: %s\nuserAccountControl: 512' "$user_pwd_b64"
  } | entry "CN=$name,$STAFF"
}

# pso NAME PRECEDENCE MINLEN HISTORY COMPLEXITY MIN_AGE_DAYS MAX_AGE_DAYS THRESHOLD DURATION_MIN WINDOW_MIN [APPLIES_TO_DN]
pso() {
  local name="$1" prec="$2" minlen="$3" hist="$4" cplx="$5" minage="$6" maxage="$7" thr="$8" dur="$9" win="${10}"
  local applies="${11:-}"
  {
    printf 'objectClass: msDS-PasswordSettings\n'
    printf 'displayName: %s\nadminDisplayName: %s\ndescription: Talvex lab PSO %s\n' "$name" "$name" "$name"
    printf 'msDS-PasswordSettingsPrecedence: %s\n' "$prec"
    printf 'msDS-PasswordReversibleEncryptionEnabled: FALSE\n'
    printf 'msDS-PasswordHistoryLength: %s\n' "$hist"
    printf 'msDS-PasswordComplexityEnabled: %s\n' "$cplx"
    printf 'msDS-MinimumPasswordLength: %s\n' "$minlen"
    printf 'msDS-MinimumPasswordAge: %s\n' "$((minage * DAY))"
    printf 'msDS-MaximumPasswordAge: %s\n' "$((maxage * DAY))"
    printf 'msDS-LockoutThreshold: %s\n' "$thr"
    printf 'msDS-LockoutDuration: %s\n' "$((dur * MINUTE))"
    printf 'msDS-LockoutObservationWindow: %s' "$((win * MINUTE))"
    [ -n "$applies" ] && printf '\nmsDS-PSOAppliesTo: %s' "$applies"
    true
  } | entry "CN=$name,$PSOS"
}

if [ "$reset" = yes ]; then
  lab_log "reset: deleting OU=Staff, OU=Bulk and every PSO"
  to_delete="$(
    lab_ldap_tool ldapsearch "$LAB_DC_IP" -o ldif-wrap=no -LLL -b "$PSOS" -s one \
      '(objectClass=msDS-PasswordSettings)' 1.1 | sed -n 's/^dn: //p'
  )"
  [ -z "$to_delete" ] || printf '%s\n' "$to_delete" | lab_ldap_tool ldapdelete "$LAB_DC_IP"
  for ou in "$STAFF" "$BULK"; do
    rc=0
    lab_ldap_tool ldapdelete "$LAB_DC_IP" -r "$ou" 2>/dev/null || rc=$?
    [ "$rc" = 0 ] || [ "$rc" = 32 ] || lab_die "could not delete $ou (ldapdelete exit $rc)"
  done
fi

existing="$(existing_dns)"
ldif="$(mktemp)"
trap 'rm -f "$ldif" "$ldif.existing" "$ldif.new"' EXIT

printf 'objectClass: organizationalUnit\ndescription: Talvex lab accounts' | entry "$STAFF"
user alice Alice upn
user bob Bob upn
user carol Carol no-upn
user dave Dave upn
# groupType -2147483646: global security group.
printf 'objectClass: group\nsAMAccountName: pso-group\ngroupType: -2147483646\nmember: CN=dave,%s' "$STAFF" |
  entry "CN=pso-group,$STAFF"
printf 'objectClass: group\nsAMAccountName: outer-group\ngroupType: -2147483646\nmember: CN=pso-group,%s' "$STAFF" |
  entry "CN=outer-group,$STAFF"
# userAccountControl 4096: workstation trust account.
printf 'objectClass: computer\nsAMAccountName: WKS01$\nuserAccountControl: 4096\ndNSHostName: wks01.%s' "$LAB_DOMAIN" |
  entry "CN=WKS01,$STAFF"
printf 'objectClass: contact\ndisplayName: Ext Contact\ngivenName: Ext\nsn: Contact\nmail: ext.contact@example.org' |
  entry "CN=Ext Contact,$STAFF"

pso pso-admins 10 14 24 TRUE 1 30 5 30 30 "CN=alice,$STAFF"
pso pso-group 20 10 12 TRUE 1 42 10 15 15 "CN=pso-group,$STAFF"
pso pso-unused 30 8 5 FALSE 0 90 0 30 30

if [ "$bulk" = yes ]; then
  printf 'objectClass: organizationalUnit\ndescription: Talvex lab objects for paged searches' | entry "$BULK"
  awk -v n="$BULK_CONTACTS" -v base="$BULK" 'BEGIN {
    for (i = 1; i <= n; i++) {
      name = sprintf("bulk-contact-%04d", i)
      printf "dn: CN=%s,%s\nobjectClass: contact\ndisplayName: %s\nsn: %s\n\n", name, base, name, name
    }
  }' >>"$ldif"
fi

# Keep only the entries whose DN is not in the directory yet.
printf '%s\n' "$existing" >"$ldif.existing"
awk 'NR == FNR { have[$0] = 1; next }
  /^dn: / { skip = (tolower(substr($0, 5)) in have) }
  !skip' "$ldif.existing" RS='\n' "$ldif" >"$ldif.new"
mv -f "$ldif.new" "$ldif"
rm -f "$ldif.existing"
added=$(grep -c '^dn: ' "$ldif" || true)
if [ "$added" -gt 0 ]; then
  lab_ldaps_tool ldapadd "$LAB_DC_HOST" -f "$ldif" >/dev/null ||
    lab_die "ldapadd of the seed failed"
fi

# Read back what the tests rely on.
check() {
  local dn="$1" filter="$2" out
  out="$(lab_ldap_tool ldapsearch "$LAB_DC_IP" -o ldif-wrap=no -LLL -b "$dn" -s base "$filter" 1.1 2>/dev/null)" || true
  grep -q '^dn: ' <<<"$out" || lab_die "seed check failed: $dn $filter"
}
check "CN=alice,$STAFF" "(userPrincipalName=alice@$LAB_DOMAIN)"
check "CN=carol,$STAFF" '(!(userPrincipalName=*))'
check "CN=pso-group,$STAFF" "(member=CN=dave,$STAFF)"
check "CN=outer-group,$STAFF" "(member=CN=pso-group,$STAFF)"
check "CN=pso-admins,$PSOS" "(msDS-PSOAppliesTo=CN=alice,$STAFF)"
check "CN=pso-unused,$PSOS" '(!(msDS-PSOAppliesTo=*))'
if [ "$bulk" = yes ]; then
  count="$(lab_ldap_tool ldapsearch "$LAB_DC_IP" -E pr=500/noprompt -LLL -b "$BULK" -s one \
    '(objectClass=contact)' 1.1 | grep -c '^dn: ' || true)"
  [ "$count" -ge "$BULK_CONTACTS" ] || lab_die "seed check failed: $count contacts under $BULK"
fi

lab_log "seeded: $added entries added in $(($(lab_now_ms) - started_ms)) ms"
