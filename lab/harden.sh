#!/usr/bin/env bash
# Switches the running lab's dc1 between lenient and hardened LDAP:
#   lab/harden.sh on       ldap server require strong auth = allow_sasl_over_tls
#   lab/harden.sh off      ldap server require strong auth = no (the lab's default)
#   lab/harden.sh status   prints on or off
#
# Hardened is what a Windows controller with LDAP signing required accepts:
# simple binds only over TLS (LDAPS or StartTLS), Kerberos binds with a SASL
# security layer on plain LDAP, or without one over TLS. Other suites expect
# the lenient lab: keep hardened windows short and always switch back
# (tests/e2e/test_tls_hardened.py does it in a class cleanup). Samba reads
# the setting only at start, so each switch restarts dc1's samba (15-30 s on
# a busy machine, during which the DC does not answer); its database,
# tickets and certificates stay as they are.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

mode="${1:-}"
case "$mode" in
  on) value=allow_sasl_over_tls ;;
  off) value=no ;;
  status) ;;
  *)
    sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'
    [ "$mode" = -h ] || [ "$mode" = --help ] && exit 0
    exit 2
    ;;
esac
lab_require_root
lab_load_env

current="$(sed -n 's/^[[:space:]]*ldap server require strong auth[[:space:]]*=[[:space:]]*//p' "$LAB_CONF")"
if [ "$mode" = status ]; then
  [ "$current" = no ] && echo off || echo on
  exit 0
fi

lab_lock
[ "$current" = "$value" ] && exit 0
sed -i "s/^\([[:space:]]*ldap server require strong auth[[:space:]]*=\).*/\1 $value/" "$LAB_CONF"
grep -q "ldap server require strong auth = $value" "$LAB_CONF" || lab_die "could not edit $LAB_CONF"

# Samba 4.17's LDAP server reads the setting only when it starts (a
# reload-config message does not reach it), so dc1's samba is restarted:
# its database, tickets and certificates stay as they are.
t0=$(lab_now_ms)
lab_kill_pidfile "$LAB_PID_FILE"
for _ in $(seq 1 100); do
  [ -n "$(lab_ns_pids "$LAB_NS" | xargs -r ps -o comm= -p 2>/dev/null | grep -x -E "samba|smbd")" ] || break
  sleep 0.1
done
ip netns exec "$LAB_NS" samba -s "$LAB_CONF" -D >>"$LAB_STATE/log/samba-dc1.start.log" 2>&1 9>&- ||
  lab_die "samba did not start again (log: $LAB_STATE/log/samba-dc1.log)"
deadline=$(($(date +%s) + LAB_START_TIMEOUT))
# Ready when LDAP, DNS, the KDC and LDAPS answer again.
until lab_rootdse_ok "$LAB_DC_IP" && lab_srv_ok "$LAB_DC_HOST" &&
  ip netns exec "$LAB_NS" timeout 2 bash -c ">/dev/tcp/$LAB_DC_IP/88" 2>/dev/null &&
  lab_ldaps_tool ldapsearch "$LAB_DC_HOST" -b '' -s base dn >/dev/null 2>&1; do
  [ "$(date +%s)" -lt "$deadline" ] || lab_die "dc1 did not answer within ${LAB_START_TIMEOUT}s after the restart"
  sleep 0.2
done
if [ "$mode" = on ] && lab_simple_bind_ok "$LAB_DC_IP"; then
  lab_die "dc1 still takes simple binds without TLS"
fi
lab_log "strong auth $value ($(($(lab_now_ms) - t0)) ms)"
