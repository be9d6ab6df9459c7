#!/usr/bin/env bash
# Adds a second, separate domain to the running lab: lab/add_domain2.sh [STATE_DIR]
#
# other.example.com (its own forest, controller dc1.other.example.com at
# 10.99.0.13) is provisioned fresh in the namespace talvexlab3, on the lab's
# bridge, with the lab's Administrator password. The lab namespace resolves
# its controller's name through its hosts file, and the lab domain's DNS
# gets a zone for it with the controller's SRV record, so that a locator that
# asks DNS (Wine's DsGetDcNameW) finds it too. Used by the tests that carry
# policies from one domain to another. Idempotent; lab/remove_domain2.sh or
# lab/stop.sh removes it.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

case "${1:-}" in
  -h | --help)
    sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'
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

dom2_bind_ok() {
  ip netns exec "$LAB_NS" timeout 5 ldapsearch -x -H "ldap://$LAB_DOM2_IP" -o nettimeout=2 \
    -D "Administrator@$LAB_DOM2_DOMAIN" -w "$LAB_ADMIN_PASSWORD" \
    -b "$LAB_DOM2_BASE_DN" -s base '(objectClass=*)' dn >/dev/null 2>&1
}
# The lab namespace finds the second domain's controller by name.
hosts_line="$LAB_DOM2_IP $LAB_DOM2_HOST"
add_hosts_line() {
  grep -qxF "$hosts_line" "/etc/netns/$LAB_NS/hosts" || echo "$hosts_line" >>"/etc/netns/$LAB_NS/hosts"
}

if lab_ns_exists "$LAB_NS3" && [ -f "$LAB_PID_FILE3" ] &&
  [ "$(cat "/proc/$(tr -dc '0-9' <"$LAB_PID_FILE3")/comm" 2>/dev/null)" = samba ] && dom2_bind_ok; then
  add_hosts_line
  lab_log "$LAB_DOM2_DOMAIN already running"
  exit 0
fi

lab_remove_namespace "$LAB_NS3" "$LAB_HOST_VETH3" "$LAB_PID_FILE3"
rm -rf "/etc/netns/$LAB_NS3" "$LAB_TARGET3" "$LAB_STATE/run/dom2"
mkdir -p "$LAB_STATE/run/dom2"

lab_log "network: namespace $LAB_NS3, $LAB_DOM2_HOST $LAB_DOM2_IP"
lab_add_namespace "$LAB_NS3" "$LAB_HOST_VETH3" "$LAB_DOM2_IP"
mkdir -p "/etc/netns/$LAB_NS3"
cat >"/etc/netns/$LAB_NS3/resolv.conf" <<CONF
search $LAB_DOM2_DOMAIN
nameserver $LAB_DOM2_IP
options timeout:1 attempts:2
CONF
printf '127.0.0.1 localhost\n%s dc1\n' "$hosts_line" >"/etc/netns/$LAB_NS3/hosts"

lab_provision "$LAB_NS3" "$LAB_TARGET3" "$LAB_DOM2_REALM" "$LAB_DOM2_NETBIOS" "$LAB_DOM2_IP" \
  "$LAB_STATE/log/provision-dom2.log"
lab_fix_conf "$LAB_CONF3" "$LAB_STATE/run/dom2" samba-dom2

ip netns exec "$LAB_NS3" samba -s "$LAB_CONF3" -D >"$LAB_STATE/log/samba-dom2.start.log" 2>&1 9>&- ||
  lab_die "samba ($LAB_DOM2_DOMAIN) did not start (log: $LAB_STATE/log/samba-dom2.log)"
add_hosts_line

# The zone in the lab domain's DNS, made afresh.
lab_dns() {
  lab_ns_run "$LAB_NS" samba-tool dns "$@" -U Administrator --password="$LAB_ADMIN_PASSWORD" \
    >>"$LAB_STATE/log/dns-dom2.log" 2>&1
}
lab_dns zonedelete "$LAB_DC_IP" "$LAB_DOM2_DOMAIN" || true
lab_dns zonecreate "$LAB_DC_IP" "$LAB_DOM2_DOMAIN" || lab_die "could not create the DNS zone $LAB_DOM2_DOMAIN"
lab_dns add "$LAB_DC_IP" "$LAB_DOM2_DOMAIN" dc1 A "$LAB_DOM2_IP" &&
  lab_dns add "$LAB_DC_IP" "$LAB_DOM2_DOMAIN" _ldap._tcp.dc._msdcs SRV "$LAB_DOM2_HOST 389 0 100" ||
  lab_die "could not add the records of $LAB_DOM2_HOST to the DNS zone $LAB_DOM2_DOMAIN"

deadline=$(($(date +%s) + LAB_START_TIMEOUT))
until dom2_bind_ok; do
  if [ "$(date +%s)" -ge "$deadline" ]; then
    tail -n 30 "$LAB_STATE/log/samba-dom2.log" >&2 2>/dev/null || true
    lab_die "timed out waiting for a simple bind on $LAB_DOM2_HOST"
  fi
  sleep 0.25
done
lab_log "$LAB_DOM2_DOMAIN up in $(($(lab_now_ms) - started_ms)) ms"
