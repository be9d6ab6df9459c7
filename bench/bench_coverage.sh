#!/usr/bin/env bash
# Measures `talvex -q -coverage -base OU` on the lab domain controller against
# its floor, one `ldapsearch` paged read of the same accounts with
# msDS-ResultantPSO:
#
#   bench/bench_coverage.sh [--users 10000] [--groups 100] [--psos 50] [--runs 3] [--keep]
#
# Seeds OU=BenchCoverage with the users spread over the global groups (one
# group each) and the PSOs linked to the groups in turn, then times both
# commands (simple bind as Administrator, output discarded; median of the
# runs), reads talvex's peak resident set with /usr/bin/time -v, and counts
# the LDAP requests of one talvex run off the wire (bench/ldap_ops.py). The
# OU and the PSOs are removed at the end (unless --keep), also when the run
# fails.
#
# Needs root and a running lab. Never part of CI. On the shared lab, run it
# under the e2e lock: flock -o /tmp/talvex-lab.e2e.lock bash bench/bench_coverage.sh
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$top/lab/lib.sh"

users=10000
groups=100
psos=50
runs=3
keep=no
while [ $# -gt 0 ]; do
  case "$1" in
    --users) users="$2"; shift ;;
    --groups) groups="$2"; shift ;;
    --psos) psos="$2"; shift ;;
    --runs) runs="$2"; shift ;;
    --keep) keep=yes ;;
    -h | --help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) lab_die "unknown argument $1" ;;
  esac
  shift
done

lab_require_root
lab_load_env
talvex="${TALVEX_BINARY:-$top/build/src/frontend/talvex}"
[ -x "$talvex" ] || lab_die "no talvex binary at $talvex"

ou="OU=BenchCoverage,$LAB_BASE_DN"
container="CN=Password Settings Container,CN=System,$LAB_BASE_DN"
work="$(mktemp -d)"
cleanup() {
  if [ "$keep" = no ]; then
    # A deletion of 10,000 entries can outlast the lab tools' 10-minute
    # timeout on a busy controller: what is left is deleted again.
    for _ in 1 2 3; do
      lab_ldap_tool ldapdelete "$LAB_DC_IP" -r "$ou" >/dev/null 2>&1 && break
    done
    for p in $(seq 1 "$psos"); do echo "CN=benchcov-pso$p,$container"; done |
      lab_ldap_tool ldapdelete "$LAB_DC_IP" -c >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

now_ms() { lab_now_ms; }

# ---- seeding ------------------------------------------------------------------
# In batches of 1,000 entries: one ldapadd of them all can outlast the lab
# tools' 10-minute timeout on a busy controller.
user_entry() {
  printf 'dn: CN=benchcov-u%05d,%s\nobjectClass: user\nsAMAccountName: benchcov-u%05d\n\n' "$1" "$ou" "$1"
}
printf 'dn: %s\nobjectClass: organizationalUnit\n\n' "$ou" >"$work/seed-00000.ldif"
for u in $(seq 1 "$users"); do user_entry "$u" >>"$work/seed-$(printf '%05d' $(((u + 999) / 1000))).ldif"; done
{
  for g in $(seq 1 "$groups"); do
    printf 'dn: CN=benchcov-g%03d,%s\nobjectClass: group\nsAMAccountName: benchcov-g%03d\ngroupType: -2147483646\n' "$g" "$ou" "$g"
    for u in $(seq "$g" "$groups" "$users"); do printf 'member: CN=benchcov-u%05d,%s\n' "$u" "$ou"; done
    printf '\n'
  done
  for p in $(seq 1 "$psos"); do
    printf 'dn: CN=benchcov-pso%d,%s\nobjectClass: msDS-PasswordSettings\n' "$p" "$container"
    printf 'msDS-PasswordSettingsPrecedence: %d\nmsDS-PasswordReversibleEncryptionEnabled: FALSE\n' "$((5000 + p))"
    printf 'msDS-PasswordHistoryLength: 24\nmsDS-PasswordComplexityEnabled: TRUE\nmsDS-MinimumPasswordLength: 14\n'
    printf 'msDS-MinimumPasswordAge: 0\nmsDS-MaximumPasswordAge: -36288000000000\nmsDS-LockoutThreshold: 5\n'
    printf 'msDS-LockoutDuration: -18000000000\nmsDS-LockoutObservationWindow: -18000000000\n'
    for g in $(seq "$p" "$psos" "$groups"); do printf 'msDS-PSOAppliesTo: CN=benchcov-g%03d,%s\n' "$g" "$ou"; done
    printf '\n'
  done
} >"$work/seed-99999.ldif"
started=$(now_ms)
for file in "$work"/seed-*.ldif; do
  lab_ldap_tool ldapadd "$LAB_DC_IP" -f "$file" >/dev/null || lab_die "seeding failed ($file)"
done
lab_log "seeded $users users, $groups groups, $psos PSOs in $(($(now_ms) - started)) ms"

# ---- the two reads ------------------------------------------------------------
bind=(-u "Administrator@$LAB_DOMAIN" -up "$LAB_ADMIN_PASSWORD" -simple -h "$LAB_DC_HOST")
coverage=(ip netns exec "$LAB_NS" "$talvex" -q -coverage -base "$ou" "${bind[@]}")
floor=(ip netns exec "$LAB_NS" ldapsearch -x -H "ldap://$LAB_DC_IP" -o nettimeout=10 -LLL
  -D "Administrator@$LAB_DOMAIN" -w "$LAB_ADMIN_PASSWORD" -E pr=1000/noprompt -b "$ou"
  "(&(objectClass=user)(!(objectClass=computer)))" sAMAccountName userPrincipalName
  userAccountControl adminCount msDS-PSOApplied msDS-ResultantPSO)

"${coverage[@]}" >"$work/coverage.out" || lab_die "talvex -coverage failed"
grep -q "^Covered $users accounts: $users by a PSO, 0 by the domain policy.$" "$work/coverage.out" ||
  lab_die "unexpected coverage: $(grep '^Covered' "$work/coverage.out")"
grep -q "msDS-ResultantPSO: $users agree, 0 differ, 0 unreadable" "$work/coverage.out" ||
  lab_die "the directory's answers differ: $(grep 'msDS-ResultantPSO:' "$work/coverage.out")"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }
time_ms() {
  local t0
  t0=$(now_ms)
  "$@" >/dev/null
  echo $(($(now_ms) - t0))
}
: >"$work/talvex.ms"
: >"$work/floor.ms"
for _ in $(seq 1 "$runs"); do
  time_ms "${coverage[@]}" >>"$work/talvex.ms"
  time_ms "${floor[@]}" >>"$work/floor.ms"
done
tm=$(median <"$work/talvex.ms")
fm=$(median <"$work/floor.ms")
rss=$(/usr/bin/time -v "${coverage[@]}" 2>&1 >/dev/null | sed -n 's/^\s*Maximum resident set size (kbytes): //p')

echo
echo "$users users in $groups groups, $psos PSOs; median of $runs runs, simple bind"
printf '  talvex -coverage  %8s ms   peak RSS %s kB\n' "$tm" "$rss"
printf '  ldapsearch floor  %8s ms\n' "$fm"
printf '  ratio             %8s\n' "$(python3 -c "print(f'{$tm / $fm:.2f}')")"
echo
echo "LDAP requests of one talvex run (pages after the first left out):"
ip netns exec "$LAB_NS" python3 "$top/bench/ldap_ops.py" -- "$talvex" -q -coverage -base "$ou" "${bind[@]}" |
  grep -v "paged (next page)" | sed 's/^/  /' || true
