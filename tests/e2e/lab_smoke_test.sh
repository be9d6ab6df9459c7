#!/usr/bin/env bash
# Checks that the lab domain controller answers everything the directory tests
# rely on: LDAP, DNS, CLDAP, Kerberos, simple and GSSAPI binds, and the seed.
# Needs a started and seeded lab (lab/start.sh && lab/seed.sh); without one it
# fails, it never passes silently.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
LAB="$ROOT/lab"
ENV_FILE="${LAB_ENV:-/tmp/talvex-lab.env}"

passed=0
failed=0
pass() {
  passed=$((passed + 1))
  printf 'ok   %s\n' "$1"
}
fail() {
  failed=$((failed + 1))
  printf 'FAIL %s\n' "$1"
  [ -z "${2:-}" ] || printf '%s\n' "$2" | sed 's/^/     /' | head -n 20
}
summary() {
  printf '%d passed, %d failed\n' "$passed" "$failed"
  [ "$failed" -eq 0 ]
}

if [ ! -f "$ENV_FILE" ]; then
  fail "lab environment $ENV_FILE exists (start the lab: lab/start.sh && lab/seed.sh)"
  summary
  exit 1
fi
# shellcheck disable=SC1090
. "$ENV_FILE"

STAFF="OU=Staff,$LAB_BASE_DN"
PSOS="CN=Password Settings Container,CN=System,$LAB_BASE_DN"
in_ns() { ip netns exec "$LAB_NS" "$@"; }
search() { "$LAB/ldapsearch.sh" -LLL "$@" 2>&1; }

# --- LDAP and the RootDSE ----------------------------------------------------
rootdse="$(in_ns timeout 10 ldapsearch -x -LLL -o ldif-wrap=no -H "ldap://$LAB_DC_IP" -b '' -s base \
  '(objectClass=*)' '*' supportedControl supportedSASLMechanisms 2>&1)" || true
if grep -q "^defaultNamingContext: $LAB_BASE_DN\$" <<<"$rootdse"; then
  pass "RootDSE answers anonymously with defaultNamingContext $LAB_BASE_DN"
else
  fail "RootDSE answers" "$rootdse"
fi
if grep -q '^supportedControl: 1.2.840.113556.1.4.319$' <<<"$rootdse"; then
  pass "RootDSE lists the paged results control"
else
  fail "RootDSE lists the paged results control" "$rootdse"
fi
if grep -q '^supportedSASLMechanisms: GSSAPI$' <<<"$rootdse" &&
  grep -q '^domainFunctionality: [0-9]' <<<"$rootdse" &&
  grep -q '^domainControllerFunctionality: [0-9]' <<<"$rootdse"; then
  pass "RootDSE lists GSSAPI and the functional levels ($(grep -h '^domainFunctionality:' <<<"$rootdse"))"
else
  fail "RootDSE lists GSSAPI and the functional levels" "$rootdse"
fi

# --- DNS, CLDAP and Kerberos -------------------------------------------------
# Through the namespace's own resolver (the DC), as a joined machine would.
srv="$(in_ns timeout 10 dig +short +time=2 +tries=1 SRV "_ldap._tcp.dc._msdcs.$LAB_DOMAIN" 2>&1)" || true
if grep -q " 389 $LAB_DC_HOST\.\$" <<<"$srv"; then
  pass "SRV _ldap._tcp.dc._msdcs.$LAB_DOMAIN names $LAB_DC_HOST"
else
  fail "SRV _ldap._tcp.dc._msdcs.$LAB_DOMAIN names $LAB_DC_HOST" "$srv"
fi
a="$(in_ns timeout 10 dig +short +time=2 +tries=1 A "$LAB_DC_HOST" 2>&1)" || true
if [ "$a" = "$LAB_DC_IP" ]; then
  pass "A record of $LAB_DC_HOST is $LAB_DC_IP"
else
  fail "A record of $LAB_DC_HOST is $LAB_DC_IP" "$a"
fi
# samba-tool domain info sends the CLDAP netlogon ping (UDP 389).
cldap="$(in_ns timeout 20 samba-tool domain info "$LAB_DC_IP" 2>&1)" || true
if grep -q "^DC name *: $LAB_DC_HOST" <<<"$cldap" && grep -q '^Server site *: Default-First-Site-Name' <<<"$cldap"; then
  pass "CLDAP netlogon ping answers with the DC name and site"
else
  fail "CLDAP netlogon ping answers with the DC name and site" "$cldap"
fi
kvno="$("$LAB/exec.sh" kvno "ldap/$LAB_DC_HOST" 2>&1)" || true
if grep -q "ldap/$LAB_DC_HOST@$LAB_REALM: kvno" <<<"$kvno"; then
  pass "Kerberos service ticket for ldap/$LAB_DC_HOST"
else
  fail "Kerberos service ticket for ldap/$LAB_DC_HOST" "$kvno"
fi

# --- binds -------------------------------------------------------------------
# Samba has no Who-am-I operation: a bind is proven by a search of the domain
# object after it.
bind_as() {
  local who="$1" password="$2"
  in_ns timeout 10 ldapsearch -x -LLL -H "ldap://$LAB_DC_IP" -o nettimeout=5 -D "$who" -w "$password" \
    -b "$LAB_BASE_DN" -s base '(objectClass=domain)' 1.1 2>&1
}
for who in "CN=Administrator,CN=Users,$LAB_BASE_DN" "Administrator@$LAB_DOMAIN" "$LAB_NETBIOS\\Administrator"; do
  if out="$(bind_as "$who" "$LAB_ADMIN_PASSWORD")"; then
    pass "simple bind as $who"
  else
    fail "simple bind as $who" "$out"
  fi
done
if out="$(bind_as "alice@$LAB_DOMAIN" "$LAB_USER_PASSWORD")"; then
  pass "simple bind as the seeded user alice"
else
  fail "simple bind as the seeded user alice" "$out"
fi
rc=0
out="$(bind_as "Administrator@$LAB_DOMAIN" wrong-password)" || rc=$?
if [ "$rc" = 49 ] && grep -q '80090308: LdapErr: DSID-' <<<"$out"; then
  pass "wrong password: 49 with the server's 80090308 diagnostic"
else
  fail "wrong password: 49 with the server's 80090308 diagnostic (exit $rc)" "$out"
fi
out="$("$LAB/exec.sh" ldapsearch -LLL -Y GSSAPI -H "ldap://$LAB_DC_HOST" \
  -b "$LAB_BASE_DN" -s base '(objectClass=domain)' 1.1 2>&1)" || true
if grep -q "^SASL username: Administrator@$LAB_REALM\$" <<<"$out" && grep -q "^dn: $LAB_BASE_DN\$" <<<"$out"; then
  pass "GSSAPI bind with the lab ticket cache"
else
  fail "GSSAPI bind with the lab ticket cache" "$out"
fi
out="$(in_ns env LDAPTLS_CACERT="$LAB_CA" timeout 10 ldapsearch -x -LLL -H "ldaps://$LAB_DC_HOST" \
  -D "Administrator@$LAB_DOMAIN" -w "$LAB_ADMIN_PASSWORD" -b "$LAB_BASE_DN" -s base '(objectClass=domain)' 1.1 2>&1)" || true
if grep -q "^dn: $LAB_BASE_DN\$" <<<"$out"; then
  pass "LDAPS bind verified against the lab CA"
else
  fail "LDAPS bind verified against the lab CA" "$out"
fi

# --- the seed ----------------------------------------------------------------
expect() {
  local what="$1" base="$2" filter="$3" out
  out="$(search -b "$base" -s base "$filter" 1.1)" || true
  if grep -q '^dn: ' <<<"$out"; then
    pass "seed: $what"
  else
    fail "seed: $what" "$out"
  fi
}
expect "alice has her UPN" "CN=alice,$STAFF" "(userPrincipalName=alice@$LAB_DOMAIN)"
expect "bob has his UPN" "CN=bob,$STAFF" "(userPrincipalName=bob@$LAB_DOMAIN)"
expect "carol has no UPN" "CN=carol,$STAFF" '(&(objectClass=user)(!(userPrincipalName=*)))'
expect "dave is a member of pso-group" "CN=pso-group,$STAFF" "(member=CN=dave,$STAFF)"
expect "outer-group holds pso-group" "CN=outer-group,$STAFF" "(member=CN=pso-group,$STAFF)"
expect "computer WKS01" "CN=WKS01,$STAFF" '(&(objectClass=computer)(sAMAccountName=WKS01$))'
expect "contact Ext Contact" "CN=Ext Contact,$STAFF" '(objectClass=contact)'
expect "PSO pso-admins applies to alice" "CN=pso-admins,$PSOS" \
  "(&(msDS-PasswordSettingsPrecedence=10)(msDS-PSOAppliesTo=CN=alice,$STAFF))"
expect "PSO pso-group applies to group pso-group" "CN=pso-group,$PSOS" \
  "(&(msDS-PasswordSettingsPrecedence=20)(msDS-PSOAppliesTo=CN=pso-group,$STAFF))"
expect "PSO pso-unused applies to nothing" "CN=pso-unused,$PSOS" \
  '(&(msDS-PasswordSettingsPrecedence=30)(!(msDS-PSOAppliesTo=*)))'
out="$(search -b "CN=dave,$STAFF" -s base '(objectClass=*)' msDS-ResultantPSO)" || true
if grep -q "^msDS-ResultantPSO: CN=pso-group,$PSOS\$" <<<"$out"; then
  pass "dave's resultant PSO comes through his group"
else
  fail "dave's resultant PSO comes through his group" "$out"
fi
out="$(search -E pr=100/noprompt -b "OU=Bulk,$LAB_BASE_DN" -s one '(objectClass=contact)' 1.1)" || true
count=$(grep -c '^dn: ' <<<"$out" || true)
if [ "$count" -ge 250 ]; then
  pass "paged search (page size 100) returns all $count bulk contacts"
else
  fail "paged search (page size 100) returns at least 250 bulk contacts (got $count)" "$(tail -n 5 <<<"$out")"
fi

# --- what Samba refuses ------------------------------------------------------
rc=0
out="$("$LAB/ldapmodify.sh" -a 2>&1 <<EOF
dn: CN=smoke-precedence-0,$PSOS
objectClass: msDS-PasswordSettings
msDS-PasswordSettingsPrecedence: 0
msDS-PasswordReversibleEncryptionEnabled: FALSE
msDS-PasswordHistoryLength: 24
msDS-PasswordComplexityEnabled: TRUE
msDS-MinimumPasswordLength: 8
msDS-MinimumPasswordAge: -864000000000
msDS-MaximumPasswordAge: -36288000000000
msDS-LockoutThreshold: 0
msDS-LockoutDuration: -18000000000
msDS-LockoutObservationWindow: -18000000000
EOF
)" || rc=$?
if [ "$rc" = 21 ]; then
  pass "a PSO with precedence 0 is refused with 21"
else
  fail "a PSO with precedence 0 is refused with 21 (exit $rc)" "$out"
  "$LAB/ldapmodify.sh" >/dev/null 2>&1 <<EOF || true
dn: CN=smoke-precedence-0,$PSOS
changetype: delete
EOF
fi

# --- the second DC, when there is one ----------------------------------------
if [ -n "${LAB_DC2_IP:-}" ]; then
  # Samba replicates a change within a few seconds; the seed may be that recent.
  for _ in $(seq 1 60); do
    out="$(LAB_LDAP_URI="ldap://$LAB_DC2_IP" search -b "CN=alice,$STAFF" -s base '(objectClass=user)' 1.1)" || true
    grep -q '^dn: ' <<<"$out" && break
    sleep 0.5
  done
  if grep -q '^dn: ' <<<"$out"; then
    pass "dc2 answers and holds the seeded users (replicated from dc1)"
  else
    fail "dc2 answers and holds the seeded users (replicated from dc1)" "$out"
  fi
  srv="$(in_ns timeout 10 dig +short +time=2 +tries=1 SRV "_ldap._tcp.dc._msdcs.$LAB_DOMAIN" 2>&1)" || true
  if grep -q " $LAB_DC2_HOST\.\$" <<<"$srv"; then
    pass "SRV records name dc2 as well"
  else
    fail "SRV records name dc2 as well" "$srv"
  fi
fi

summary
