#!/usr/bin/env bash
# Every action through a slow link: LDAP requests by type, round trips and
# wall time per action, for one or two talvex binaries side by side.
#
#   bash bench/bench_wan.sh [--delay-ms 50] [--runs 1] [--only REGEX]
#                           TALVEX [OTHER_TALVEX]
#
# WAN_WAVES=1 also lists, on standard error, what each round trip sent.
#
# Needs root and a running, seeded lab (lab/start.sh, lab/seed.sh). Makes
# the network namespace tvxwan (removed at the end), in which the lab
# controller's address belongs to bench/wan_proxy.py; see that file for what
# is relayed and counted. Writes nothing to the directory (every changing
# action is a dry run). Run it under the lab's e2e lock.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
delay=50
runs=1
only=.
while [[ $# -gt 0 ]]; do
  case $1 in
    --delay-ms) delay=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    *) break ;;
  esac
done
[[ $# -ge 1 ]] || { echo "usage: $0 [--delay-ms N] [--runs N] [--only REGEX] TALVEX [OTHER_TALVEX]" >&2; exit 1; }
binaries=("$@")
. "${TALVEX_LAB_ENV:-/tmp/talvex-lab/lab.env}"

ns=tvxwan
work=$(mktemp -d /tmp/talvex-wan.XXXXXX)
cleanup() {
  ip netns del "$ns" 2>/dev/null || true
  rm -rf "/etc/netns/$ns" "$work"
}
trap cleanup EXIT
ip netns del "$ns" 2>/dev/null || true
ip netns add "$ns"
ip -n "$ns" link set lo up
ip -n "$ns" addr add "$LAB_DC_IP/32" dev lo
mkdir -p "/etc/netns/$ns"
printf 'nameserver %s\nsearch %s\n' "$LAB_DC_IP" "$LAB_DOMAIN" > "/etc/netns/$ns/resolv.conf"

# The lab's krb5.conf names the KDC by address; the second one leaves the
# KDC to DNS, as a machine that only knows its realm does.
sed '/kdc = \|admin_server = /d; s/dns_lookup_kdc = false/dns_lookup_kdc = true/' \
  "$LAB_KRB5_CONFIG" > "$work/krb5-dns.conf"

simple=(-u "$LAB_ADMIN_USER@$LAB_DOMAIN" -up "$LAB_ADMIN_PASSWORD" -simple)
actions=(
  "view -dompol|-view -dompol"
  "view -allpwdpols|-view -allpwdpols"
  "view -pso|-view -pso"
  "applied -pso|-applied -pso"
  "effective alice|-effective alice"
  "add (dry run)|-add wanbench-add::901"
  "mod (dry run)|-mod ::::::3:20:10 -pso pso-unused"
  "quickstart (dry run)|-quickstart"
  "applyto (dry run)|-applyto bob -pso pso-unused"
  "multidel (dry run)|-multidel -pso pso-*"
)

# One run through the proxy; prints the proxy's JSON line.
measure() {  # kind binary switches...
  local kind=$1 binary=$2; shift 2
  case $kind in
    simple)
      python3 "$here/wan_proxy.py" --delay-ms "$delay" --ns "$ns" --dc "$LAB_DC_IP" -- \
        env KRB5_CONFIG="$LAB_KRB5_CONFIG" "$binary" "$@" "${simple[@]}" ;;
    kerberos|kerberos-dns)
      # A ticket-granting ticket only, got beside the link: the run asks
      # the KDC for the LDAP service ticket itself.
      local conf=$LAB_KRB5_CONFIG
      [[ $kind == kerberos-dns ]] && conf=$work/krb5-dns.conf
      rm -f "$work/cc"
      echo "$LAB_ADMIN_PASSWORD" | KRB5_CONFIG="$LAB_KRB5_CONFIG" KRB5CCNAME="FILE:$work/cc" \
        kinit "$LAB_ADMIN_USER@$LAB_REALM" >/dev/null
      python3 "$here/wan_proxy.py" --delay-ms "$delay" --ns "$ns" --dc "$LAB_DC_IP" -- \
        env KRB5_CONFIG="$conf" KRB5CCNAME="FILE:$work/cc" "$binary" "$@" ;;
  esac
}

row() {  # label binary-index json
  python3 - "$@" <<'EOF'
import json, os, sys
label, which, line = sys.argv[1], sys.argv[2], sys.argv[3]
r = json.loads(line)
req = ", ".join(f"{k} {v}" for k, v in sorted(r["requests"].items()))
other = ", ".join(f"{k} {v}" for k, v in sorted(r["datagrams"].items()))
conns = sum(r["connections"].values())
status = "" if r["exit"] == 0 else f" (exit {r['exit']})"
print(f"| {label}{status} | {which} | {req} | {other} | {conns} | {r['round_trips']} | {r['wall_ms']} |")
if os.environ.get("WAN_WAVES"):
    for n, wave in enumerate(r.get("waves", []), 1):
        print(f"    wave {n}: {wave}", file=sys.stderr)
EOF
}

echo "Delay ${delay} ms round trip; binaries: ${binaries[*]}"
echo
echo "| action | build | LDAP requests | DNS, CLDAP, Kerberos | TCP conns | round trips | wall ms |"
echo "|---|---|---|---|---|---|---|"
run_action() {  # kind label switches
  local kind=$1 label=$2 switches=$3 i best line wall
  [[ $label =~ $only ]] || return 0
  for i in "${!binaries[@]}"; do
    best=""
    for ((r = 0; r < runs; r++)); do
      # shellcheck disable=SC2086  # the switches are words
      line=$(measure "$kind" "${binaries[$i]}" $switches)
      wall=$(python3 -c 'import json,sys; print(json.loads(sys.argv[1])["wall_ms"])' "$line")
      if [[ -z $best ]] || (( wall < $(python3 -c 'import json,sys; print(json.loads(sys.argv[1])["wall_ms"])' "$best") )); then
        best=$line
      fi
    done
    row "$label" "$((i + 1))" "$best"
  done
}
for entry in "${actions[@]}"; do
  run_action simple "${entry%%|*}" "${entry#*|}"
done
run_action kerberos "Kerberos view -dompol (KDC by address)" "-view -dompol"
run_action kerberos-dns "Kerberos view -dompol (KDC through DNS)" "-view -dompol"
