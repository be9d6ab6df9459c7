#!/usr/bin/env bash
# Adds a second domain controller to the running lab: lab/add_dc2.sh [STATE_DIR]
#
# dc2 (10.99.0.12) joins corp.example.com as a DC from the namespace
# talvexlab2, on the same bridge as dc1, so the host, dc1's namespace (where
# the tests run) and dc2 reach each other. Used by tests of the locator and
# of -h. Idempotent; lab/stop.sh removes it with the rest of the lab.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

case "${1:-}" in
  -h | --help)
    sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
esac
lab_require_root
lab_require_tools
if [ -n "${1:-}" ]; then
  LAB_ENV="$1/lab.env"
fi
lab_load_env
lab_lock
started_ms=$(lab_now_ms)

dc2_running() {
  lab_ns_exists "$LAB_NS2" && [ -f "$LAB_PID_FILE2" ] &&
    [ "$(cat "/proc/$(tr -dc '0-9' <"$LAB_PID_FILE2")/comm" 2>/dev/null)" = samba ] &&
    lab_rootdse_ok "$LAB_DC2_IP"
}
if dc2_running; then
  lab_log "dc2 already running"
  lab_write_env with-dc2
  exit 0
fi

# Leftovers of an earlier dc2 go first; its accounts in the domain are
# cleaned up by the join itself.
lab_remove_namespace "$LAB_NS2" "$LAB_HOST_VETH2" "$LAB_PID_FILE2"
rm -rf "/etc/netns/$LAB_NS2" "$LAB_TARGET2" "$LAB_STATE/run/dc2"
mkdir -p "$LAB_STATE/run/dc2"

lab_log "network: namespace $LAB_NS2, dc2 $LAB_DC2_IP"
lab_add_namespace "$LAB_NS2" "$LAB_HOST_VETH2" "$LAB_DC2_IP"

hosts="127.0.0.1 localhost
$LAB_DC_IP $LAB_DC_HOST dc1
$LAB_DC2_IP $LAB_DC2_HOST dc2"
mkdir -p "/etc/netns/$LAB_NS2"
printf '%s\n' "$hosts" >"/etc/netns/$LAB_NS2/hosts"
printf '%s\n' "$hosts" >"/etc/netns/$LAB_NS/hosts"
# dc2 finds the domain through dc1's DNS while it joins.
cat >"/etc/netns/$LAB_NS2/resolv.conf" <<EOF
search $LAB_DOMAIN
nameserver $LAB_DC_IP
options timeout:1 attempts:2
EOF

# The veth may need a moment before dc1 answers across the bridge.
deadline=$(($(date +%s) + LAB_START_TIMEOUT))
until ip netns exec "$LAB_NS2" timeout 3 ldapsearch -x -H "ldap://$LAB_DC_IP" -o nettimeout=1 \
  -b '' -s base defaultNamingContext >/dev/null 2>&1; do
  [ "$(date +%s)" -lt "$deadline" ] || lab_die "dc1 is not reachable from $LAB_NS2"
  sleep 0.2
done

# A DC2 account left by an earlier dc2 means a rejoin: dc1 then still holds
# service tickets for the old dc2's keys and its replication to the new dc2
# fails to authenticate until dc1 restarts.
rejoin=no
if lab_ldap_tool ldapsearch "$LAB_DC_IP" -LLL -b "OU=Domain Controllers,$LAB_BASE_DN" -s one \
  '(sAMAccountName=DC2$)' 1.1 2>/dev/null | grep -q '^dn: '; then
  rejoin=yes
fi

lab_log "joining dc2 to $LAB_DOMAIN"
: >"$LAB_STATE/empty.conf"
t0=$(lab_now_ms)
if ! ip netns exec "$LAB_NS2" env KRB5_CONFIG="$LAB_KRB5_CONFIG" KRB5CCNAME="FILE:$LAB_STATE/krb5cc_join" \
  samba-tool domain join "$LAB_DOMAIN" DC -s "$LAB_STATE/empty.conf" \
  --targetdir="$LAB_TARGET2" --realm="$LAB_REALM" --server="$LAB_DC_HOST" \
  -U "Administrator" --password="$LAB_ADMIN_PASSWORD" --dns-backend=SAMBA_INTERNAL \
  --option="netbios name=DC2" --option="workgroup=$LAB_NETBIOS" \
  --option="interfaces=lo $LAB_IFACE" --option="bind interfaces only=yes" \
  >"$LAB_STATE/log/join-dc2.log" 2>&1; then
  tail -n 30 "$LAB_STATE/log/join-dc2.log" >&2
  lab_die "samba-tool domain join failed (log: $LAB_STATE/log/join-dc2.log)"
fi
rm -f "$LAB_STATE/krb5cc_join"
lab_log "joined in $(($(lab_now_ms) - t0)) ms"

lab_fix_conf "$LAB_CONF2" "$LAB_STATE/run/dc2" samba-dc2

if [ "$rejoin" = yes ]; then
  lab_log "restarting dc1 after a rejoin of dc2"
  lab_kill_pidfile "$LAB_PID_FILE"
  ip netns exec "$LAB_NS" samba -s "$LAB_CONF" -D >>"$LAB_STATE/log/samba-dc1.start.log" 2>&1 9>&- ||
    lab_die "samba (dc1) did not restart"
  until lab_rootdse_ok "$LAB_DC_IP" && lab_simple_bind_ok "$LAB_DC_IP" && lab_kinit; do
    [ "$(date +%s)" -lt "$deadline" ] || lab_die "dc1 did not come back after its restart"
    sleep 0.25
  done
fi
# dc2 registers its SRV records itself at start (samba_dnsupdate): its
# GSS-TSIG updates fail verification at dc1 ("tsig verify failure" in the
# log), and its fallback through samba-tool then adds the records.
ip netns exec "$LAB_NS2" samba -s "$LAB_CONF2" -D >"$LAB_STATE/log/samba-dc2.start.log" 2>&1 9>&- ||
  lab_die "samba (dc2) did not start (log: $LAB_STATE/log/samba-dc2.log)"

# dc1 learns of dc2 as a replication source on its next KCC pass; run that
# pass now and pull once, so dc2's own service principals (ldap/dc2...), which
# dc2 registers in its copy of the directory at start, reach dc1's KDC.
dc2_replicated() {
  lab_ns_run "$LAB_NS" timeout 60 samba-tool drs kcc "$LAB_DC_HOST" \
    -U Administrator --password="$LAB_ADMIN_PASSWORD" >/dev/null 2>&1 &&
    "$LAB_DIR/replicate.sh" "$LAB_STATE" 2>/dev/null
}
dc2_srv_ok() { lab_srv_ok "$LAB_DC2_HOST"; }
dc2_bind_ok() { lab_simple_bind_ok "$LAB_DC2_IP"; }
dc2_rootdse_ok() { lab_rootdse_ok "$LAB_DC2_IP"; }
deadline=$(($(date +%s) + LAB_START_TIMEOUT))
dc2_kerberos_ok() { lab_ns_run "$LAB_NS" timeout 10 kvno "ldap/$LAB_DC2_HOST" >/dev/null 2>&1; }
for check in "RootDSE on ldap://$LAB_DC2_IP:dc2_rootdse_ok" \
  "simple bind on dc2:dc2_bind_ok" \
  "SRV _ldap._tcp.dc._msdcs.$LAB_DOMAIN lists dc2:dc2_srv_ok" \
  "replication dc1 <-> dc2:dc2_replicated" \
  "Kerberos ticket for ldap/$LAB_DC2_HOST:dc2_kerberos_ok"; do
  what="${check%:*}"
  fn="${check##*:}"
  until "$fn"; do
    if [ "$(date +%s)" -ge "$deadline" ]; then
      tail -n 30 "$LAB_STATE/log/samba-dc2.log" >&2 2>/dev/null || true
      lab_die "timed out waiting for: $what (log: $LAB_STATE/log/samba-dc2.log)"
    fi
    sleep 0.25
  done
  lab_log "ready: $what ($(($(lab_now_ms) - started_ms)) ms)"
done

lab_write_env with-dc2
lab_log "dc2 up in $(($(lab_now_ms) - started_ms)) ms"
