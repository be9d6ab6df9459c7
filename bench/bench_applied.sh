#!/usr/bin/env bash
# Measures `talvex -q -applied -pso` against `talvex -q -view -pso` on the lab
# domain controller, with N bulk PSOs in the domain:
#
#   bench/bench_applied.sh [--sizes "1000 5000"] [--runs 5] [--baseline OTHER_TALVEX]
#
# For each N the lab is seeded with exactly N bulk PSOs (lab/seed_bulk.sh),
# then both commands run side by side in one hyperfine run (Kerberos bind from
# the lab's ticket cache, output discarded). Reported: the median wall times
# and their ratio, and the LDAP requests of one -applied run, read off the
# wire (bench/ldap_ops.py). --baseline times one -applied run of another
# binary (an earlier build) at each N, once: it may take minutes.
# The bulk PSOs are removed at the end, also when the run fails.
#
# Needs root, a running lab, hyperfine. Run it alone (see bench_view.sh).
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$top/lab/lib.sh"

sizes="1000 5000"
runs=5
baseline=""
while [ $# -gt 0 ]; do
  case "$1" in
    --sizes) sizes="$2"; shift ;;
    --runs) runs="$2"; shift ;;
    --baseline) baseline="$2"; shift ;;
    -h | --help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) lab_die "unknown argument $1" ;;
  esac
  shift
done

lab_require_root
lab_load_env
lab_ensure_ticket
talvex="${TALVEX_BINARY:-$top/build/src/frontend/talvex}"
[ -x "$talvex" ] || lab_die "no talvex binary at $talvex"
command -v hyperfine >/dev/null || lab_die "missing hyperfine"

work="$(mktemp -d)"
cleanup() {
  bash "$top/lab/seed_bulk.sh" --clear || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

ns="ip netns exec $LAB_NS env KRB5_CONFIG=$LAB_KRB5_CONFIG KRB5CCNAME=$LAB_KRB5CCNAME"
view="$ns $talvex -q -view -pso"
applied="$ns $talvex -q -applied -pso"

median_ms() {
  python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["results"][int(sys.argv[2])]; print(round(r["median"]*1000, 1))' "$1" "$2"
}

printf '%-6s %12s %12s %7s %14s\n' N "view ms" "applied ms" ratio "baseline ms" >"$work/summary"
for n in $sizes; do
  bash "$top/lab/seed_bulk.sh" "$n"
  sh -c "$applied" >"$work/applied.out" || lab_die "talvex -applied failed"
  listed=$(grep -c '^    Applied To:$' "$work/applied.out" || true)
  [ "$listed" -ge "$n" ] || lab_die "-applied listed $listed PSOs, expected at least $n"
  hyperfine --style basic --warmup 1 --runs "$runs" --export-json "$work/h.json" \
    -n "view N=$n" "$view" -n "applied N=$n" "$applied" >&2
  vm="$(median_ms "$work/h.json" 0)"
  am="$(median_ms "$work/h.json" 1)"
  bm="-"
  if [ -n "$baseline" ]; then
    started=$(lab_now_ms)
    sh -c "$ns $baseline -q -applied -pso" >"$work/baseline.out" || lab_die "baseline failed"
    bm=$(($(lab_now_ms) - started))
    # Other clients' PSOs come and go on a shared lab: a difference is
    # reported, to be checked by hand, not taken as a failure.
    cmp -s "$work/applied.out" "$work/baseline.out" ||
      lab_log "WARNING: talvex and the baseline show different -applied listings at N=$n"
  fi
  printf '%-6s %12s %12s %7s %14s\n' "$n" "$vm" "$am" \
    "$(python3 -c "print(f'{$am / $vm:.2f}')")" "$bm" >>"$work/summary"
  {
    echo "LDAP requests of one -applied run, N=$n:"
    ip netns exec "$LAB_NS" python3 "$top/bench/ldap_ops.py" -- sh -c \
      "exec env KRB5_CONFIG=$LAB_KRB5_CONFIG KRB5CCNAME=$LAB_KRB5CCNAME $talvex -q -applied -pso" |
      grep -v "paged (next page)" | sed 's/^/  /' || true
  } >>"$work/requests"
done

echo
echo "Wall time: median of $runs runs (hyperfine), Kerberos bind; baseline: one run."
cat "$work/summary"
echo
cat "$work/requests"
