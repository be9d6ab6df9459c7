#!/usr/bin/env bash
# Measures `talvex -q -view -pso` against the equivalent ldapsearch on the lab
# domain controller, with N bulk PSOs in the domain:
#
#   bench/bench_view.sh [--sizes "100 1000 5000"] [--runs 10] [--keep]
#                       [--baseline OTHER_TALVEX]
#
# For each N the lab is seeded with exactly N bulk PSOs (lab/seed_bulk.sh),
# then, side by side in one hyperfine run per bind kind:
#   talvex    -q -view -pso                      (all PSOs of the domain)
#   ldapsearch the same paged search (page size 100) of the same 14
#             attributes under the domain, same bind kind, output discarded
# for a simple bind (both as Administrator) and for a Kerberos bind (both from
# the lab's ticket cache). Reported: median wall times, the ratio, the peak
# resident set of each (median of three runs of GNU time), and the LDAP
# requests of one run of each, read off the wire (bench/ldap_ops.py, which
# counts only the connections of the process it runs), and the CPU time of
# the client, from runs of the commands taking turns (bench/cpu_interleaved.py).
# Afterwards the bulk PSOs are removed again unless --keep is given.
# --baseline times another talvex binary (an earlier build) in the same
# hyperfine runs, so that a change can be measured against it side by side.
#
# Needs root (network namespace, raw socket), a running lab (lab/start.sh),
# hyperfine and GNU time. TALVEX_BINARY picks the binary (default
# build/src/frontend/talvex). Run it alone: other clients of the lab DC slow
# the server down and blur the times.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$top/lab/lib.sh"

sizes="100 1000 5000"
runs=10
keep=no
baseline=""
while [ $# -gt 0 ]; do
  case "$1" in
    --sizes) sizes="$2"; shift ;;
    --runs) runs="$2"; shift ;;
    --keep) keep=yes ;;
    --baseline) baseline="$2"; shift ;;
    -h | --help) sed -n '2,26p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) lab_die "unknown argument $1" ;;
  esac
  shift
done

lab_require_root
lab_load_env
lab_ensure_ticket
talvex="${TALVEX_BINARY:-$top/build/src/frontend/talvex}"
[ -x "$talvex" ] || lab_die "no talvex binary at $talvex (build first, or set TALVEX_BINARY)"
[ -z "$baseline" ] || [ -x "$baseline" ] || lab_die "no baseline binary at $baseline"
for tool in hyperfine /usr/bin/time python3; do
  command -v "$tool" >/dev/null || lab_die "missing $tool"
done

work="$(mktemp -d)"
seeded=no
# The lab is shared: bulk PSOs left behind (also by a run that fails or is
# interrupted half-way) would show up in every other test's views.
cleanup() {
  if [ "$seeded" = yes ] && [ "$keep" = no ]; then
    bash "$top/lab/seed_bulk.sh" --clear || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

admin="Administrator@$LAB_DOMAIN"
ns="ip netns exec $LAB_NS env KRB5_CONFIG=$LAB_KRB5_CONFIG KRB5CCNAME=$LAB_KRB5CCNAME LDAPSASL_NOCANON=on"
attributes="adminDisplayName displayName name canonicalName msDS-LockoutDuration \
msDS-LockoutObservationWindow msDS-LockoutThreshold msDS-MaximumPasswordAge \
msDS-MinimumPasswordAge msDS-MinimumPasswordLength msDS-PasswordComplexityEnabled \
msDS-PasswordHistoryLength msDS-PasswordReversibleEncryptionEnabled \
msDS-PasswordSettingsPrecedence"
search="-H ldap://$LAB_DC_HOST -b $LAB_BASE_DN -s sub -E pr=100/noprompt \
'(&(objectCategory=msDS-PasswordSettings))' $attributes"

# Shell command lines: hyperfine runs them through sh, and so does this script.
talvex_simple="$ns $talvex -q -view -pso -u $admin -up $LAB_ADMIN_PASSWORD -simple"
ldapsearch_simple="$ns ldapsearch -x -D $admin -w $LAB_ADMIN_PASSWORD $search"
talvex_kerberos="$ns $talvex -q -view -pso"
ldapsearch_kerberos="$ns ldapsearch -Q -Y GSSAPI $search"
baseline_simple="$ns $baseline -q -view -pso -u $admin -up $LAB_ADMIN_PASSWORD -simple"
baseline_kerberos="$ns $baseline -q -view -pso"

# Median of the peak resident set sizes (kB) of three runs.
peak_rss() {
  local i
  for i in 1 2 3; do
    /usr/bin/time -f '%M' -o "$work/rss" sh -c "exec $1" >/dev/null 2>&1 || true
    tail -n 1 "$work/rss"
  done | sort -n | sed -n 2p
}

# The LDAP requests of one run, read off the namespace's loopback; only the
# connections of the process run count (the lab may have other clients).
ldap_requests() {
  local command="${1#"$ns "}"
  ip netns exec "$LAB_NS" python3 "$top/bench/ldap_ops.py" -- sh -c \
    "exec env KRB5_CONFIG=$LAB_KRB5_CONFIG KRB5CCNAME=$LAB_KRB5CCNAME LDAPSASL_NOCANON=on $command"
}

# Median (ms) of one command of a hyperfine JSON export.
median_ms() {
  python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["results"][int(sys.argv[2])]; print(round(r["median"]*1000, 1))' "$1" "$2"
}

psos_now() {
  lab_ldap_tool ldapsearch "$LAB_DC_IP" -LLL -E pr=1000/noprompt -b "$LAB_BASE_DN" \
    '(objectCategory=msDS-PasswordSettings)' 1.1 2>/dev/null | grep -c '^dn: ' || true
}

# Median CPU time (user + system, ms) of each command, the commands taking
# turns run by run (bench/cpu_interleaved.py): one line per command.
cpu_side_by_side() {
  python3 "$top/bench/cpu_interleaved.py" --runs "$runs" "$@" | awk '{ print $2 }'
}

summary="$work/summary"
printf '%-6s %-8s %-9s %12s %12s %7s %12s %12s %8s %8s %9s' N PSOs bind "talvex ms" "ldapsearch ms" ratio \
  "talvex kB" "ldaps. kB" "t. cpu" "l. cpu" "cpu ratio" >"$summary"
[ -z "$baseline" ] || printf ' %12s %7s %12s %8s %9s' "baseline ms" ratio "baseline kB" "b. cpu" "cpu ratio" >>"$summary"
echo >>"$summary"

for n in $sizes; do
  seeded=yes
  bash "$top/lab/seed_bulk.sh" "$n"
  total="$(psos_now)"
  lab_log "N=$n: $total PSOs in the domain"

  # A check that both commands work before they are timed.
  sh -c "$talvex_simple" >"$work/talvex.out" || lab_die "talvex failed: $(tail -n 5 "$work/talvex.out")"
  [ "$(grep -c '^  Policy #' "$work/talvex.out")" = "$total" ] ||
    lab_die "talvex listed $(grep -c '^  Policy #' "$work/talvex.out") policies, the domain holds $total"
  if [ -n "$baseline" ]; then
    sh -c "$baseline_simple" >"$work/baseline.out" || lab_die "baseline failed"
    cmp -s "$work/talvex.out" "$work/baseline.out" ||
      lab_die "talvex and the baseline show different views at N=$n"
  fi

  for kind in simple kerberos; do
    t="talvex_$kind"
    l="ldapsearch_$kind"
    b="baseline_$kind"
    extra=()
    [ -z "$baseline" ] || extra=(-n "baseline $kind N=$n" "${!b}")
    hyperfine --style basic --warmup 2 --runs "$runs" --export-json "$work/$kind.json" \
      -n "talvex $kind N=$n" "${!t}" -n "ldapsearch $kind N=$n" "${!l}" "${extra[@]}" >&2
    tm="$(median_ms "$work/$kind.json" 0)"
    lm="$(median_ms "$work/$kind.json" 1)"
    ratio="$(python3 -c "print(f'{$tm / $lm:.2f}')")"
    cpu=()
    if [ -n "$baseline" ]; then
      mapfile -t cpu < <(cpu_side_by_side "${!t}" "${!l}" "${!b}")
    else
      mapfile -t cpu < <(cpu_side_by_side "${!t}" "${!l}")
    fi
    printf '%-6s %-8s %-9s %12s %12s %7s %12s %12s %8s %8s %9s' "$n" "$total" "$kind" "$tm" "$lm" "$ratio" \
      "$(peak_rss "${!t}")" "$(peak_rss "${!l}")" "${cpu[0]}" "${cpu[1]}" \
      "$(python3 -c "print(f'{${cpu[0]} / ${cpu[1]}:.2f}')")" >>"$summary"
    if [ -n "$baseline" ]; then
      bm="$(median_ms "$work/$kind.json" 2)"
      printf ' %12s %7s %12s %8s %9s' "$bm" "$(python3 -c "print(f'{$bm / $lm:.2f}')")" \
        "$(peak_rss "${!b}")" "${cpu[2]}" "$(python3 -c "print(f'{${cpu[2]} / ${cpu[1]}:.2f}')")" >>"$summary"
    fi
    echo >>"$summary"
  done

  {
    echo "LDAP requests of one view, N=$n (simple bind):"
    echo " talvex:"
    ldap_requests "$talvex_simple" | sed 's/^/  /' | grep -v "paged (next page)" || true
    echo " ldapsearch:"
    ldap_requests "$ldapsearch_simple" | sed 's/^/  /' | grep -v "paged (next page)" || true
  } >>"$work/requests"
done

if [ "$keep" = no ]; then
  bash "$top/lab/seed_bulk.sh" --clear
  seeded=no
fi

echo
echo "Wall time: median of $runs runs (hyperfine); peak RSS: median of 3 runs (GNU time);"
echo "cpu: median user + system time of the client, ms, of $runs runs of each command taking"
echo "turns (bench/cpu_interleaved.py); cpu ratio: against ldapsearch's."
cat "$summary"
echo
echo "(Page requests after the first are left out of the listings below.)"
cat "$work/requests"
