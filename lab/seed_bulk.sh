#!/usr/bin/env bash
# Sets the number of bulk PSOs: lab/seed_bulk.sh N [STATE_DIR]
#                               lab/seed_bulk.sh --clear [STATE_DIR]
#
# Afterwards exactly the PSOs bulk-0001 .. bulk-N exist (precedence 1000 + i,
# applied to nothing): missing ones are added in one ldapadd stream, bulk PSOs
# numbered above N are deleted. --clear is N = 0. Other PSOs are untouched.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

want=""
state_arg=""
for arg in "$@"; do
  case "$arg" in
    --clear) want=0 ;;
    -h | --help)
      sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    -*) lab_die "unknown option $arg" ;;
    *)
      if [ -z "$want" ] && [[ "$arg" =~ ^[0-9]+$ ]]; then
        want="$arg"
      else
        state_arg="$arg"
      fi
      ;;
  esac
done
[ -n "$want" ] || lab_die "usage: lab/seed_bulk.sh N|--clear [STATE_DIR]"
want=$((10#$want))
[ "$want" -le 9999 ] || lab_die "at most 9999 bulk PSOs"

lab_require_root
if [ -n "$state_arg" ]; then
  LAB_ENV="$state_arg/lab.env"
fi
lab_load_env
lab_lock
started_ms=$(lab_now_ms)
PSOS="CN=Password Settings Container,CN=System,$LAB_BASE_DN"

# Numbers of the bulk PSOs there now.
present="$(
  lab_ldap_tool ldapsearch "$LAB_DC_IP" -o ldif-wrap=no -LLL -E pr=1000/noprompt -b "$PSOS" -s one \
    '(&(objectClass=msDS-PasswordSettings)(cn=bulk-*))' cn |
    sed -n 's/^cn: bulk-\([0-9][0-9][0-9][0-9]\)$/\1/p'
)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
printf '%s\n' "$present" | sed '/^$/d' >"$work/present"

# Additions: every number 1..N not present.
awk -v n="$want" -v base="$PSOS" 'NR == FNR { have[$0 + 0] = 1; next }
END {
  for (i = 1; i <= n; i++) {
    if (i in have) continue
    name = sprintf("bulk-%04d", i)
    printf "dn: CN=%s,%s\n", name, base
    printf "objectClass: msDS-PasswordSettings\n"
    printf "displayName: %s\nadminDisplayName: %s\n", name, name
    printf "msDS-PasswordSettingsPrecedence: %d\n", 1000 + i
    printf "msDS-PasswordReversibleEncryptionEnabled: FALSE\n"
    printf "msDS-PasswordHistoryLength: 24\n"
    printf "msDS-PasswordComplexityEnabled: TRUE\n"
    printf "msDS-MinimumPasswordLength: 12\n"
    printf "msDS-MinimumPasswordAge: -864000000000\n"
    printf "msDS-MaximumPasswordAge: -36288000000000\n"
    printf "msDS-LockoutThreshold: 10\n"
    printf "msDS-LockoutDuration: -18000000000\n"
    printf "msDS-LockoutObservationWindow: -18000000000\n\n"
  }
}' "$work/present" >"$work/add.ldif"

# Deletions: every present number above N.
awk -v n="$want" -v base="$PSOS" '$0 + 0 > n { printf "CN=bulk-%s,%s\n", $0, base }' \
  "$work/present" >"$work/delete.txt"

added=$(grep -c '^dn: ' "$work/add.ldif" || true)
deleted=$(wc -l <"$work/delete.txt")
if [ "$added" -gt 0 ]; then
  lab_ldap_tool ldapadd "$LAB_DC_IP" -f "$work/add.ldif" >/dev/null || lab_die "ldapadd of bulk PSOs failed"
fi
if [ "$deleted" -gt 0 ]; then
  lab_ldap_tool ldapdelete "$LAB_DC_IP" -f "$work/delete.txt" || lab_die "ldapdelete of bulk PSOs failed"
fi
lab_log "bulk PSOs: $want wanted, $added added, $deleted deleted in $(($(lab_now_ms) - started_ms)) ms"
