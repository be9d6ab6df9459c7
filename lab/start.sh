#!/usr/bin/env bash
# Starts the lab domain controller: lab/start.sh [--second-dc] [STATE_DIR]
#
# Idempotent: a lab that is already running and healthy is left as it is
# (and gets its second DC when --second-dc asks for one); anything stale from
# an earlier run is torn down first, then the namespace is built, the domain
# provisioned, samba started and waited for. Prints the path of lab.env.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

want_dc2=no
state_arg=""
for arg in "$@"; do
  case "$arg" in
    --second-dc) want_dc2=yes ;;
    -h | --help)
      sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    -*) lab_die "unknown option $arg" ;;
    *) state_arg="$arg" ;;
  esac
done

lab_require_root
lab_require_tools
lab_set_paths "${state_arg:-$LAB_DEFAULT_STATE}"
# samba's unix sockets live under the state directory, and a socket path
# longer than 108 bytes cannot be bound.
[ "${#LAB_STATE}" -le 60 ] || lab_die "state directory path too long for samba's sockets (over 60 characters): $LAB_STATE"
lab_lock

started_ms=$(lab_now_ms)

# --- health of a running lab -------------------------------------------------

lab_healthy() {
  [ -f "$LAB_ENV_FILE" ] && [ -f "$LAB_STATE/$LAB_MARKER" ] || return 1
  lab_ns_exists "$LAB_NS" || return 1
  [ -f "$LAB_PID_FILE" ] || return 1
  local pid
  pid="$(tr -dc '0-9' <"$LAB_PID_FILE")"
  [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = samba ] || return 1
  lab_rootdse_ok "$LAB_DC_IP" || return 1
  # A lab switched to hardened (lab/harden.sh) takes simple binds over LDAPS
  # only; it is healthy all the same and must not be rebuilt.
  lab_simple_bind_ok "$LAB_DC_IP" ||
    lab_ldaps_tool ldapsearch "$LAB_DC_HOST" -b "$LAB_BASE_DN" -s base dn >/dev/null 2>&1 ||
    return 1
  # An expired or missing ticket is renewed, not a reason to rebuild.
  lab_ns_run "$LAB_NS" klist -s 2>/dev/null || lab_kinit || return 1
}

lab_dc2_healthy() {
  lab_ns_exists "$LAB_NS2" || return 1
  [ -f "$LAB_PID_FILE2" ] || return 1
  local pid
  pid="$(tr -dc '0-9' <"$LAB_PID_FILE2")"
  [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = samba ] || return 1
  lab_rootdse_ok "$LAB_DC2_IP"
}

if lab_healthy; then
  if [ "$want_dc2" = yes ] && ! lab_dc2_healthy; then
    "$LAB_DIR/add_dc2.sh" "$LAB_STATE"
  else
    # Keep the fixed copy in step with this lab (it may have been removed).
    cp -f "$LAB_ENV_FILE" "$LAB_CURRENT_ENV"
  fi
  lab_log "lab already running ($LAB_STATE), healthy"
  echo "$LAB_ENV_FILE"
  exit 0
fi

# --- clean start -------------------------------------------------------------

lab_log "tearing down any leftover lab"
lab_teardown "$LAB_STATE"

mkdir -p "$LAB_STATE"
touch "$LAB_STATE/$LAB_MARKER"
mkdir -p "$LAB_STATE/run/dc1" "$LAB_STATE/log"

lab_log "network: namespace $LAB_NS, bridge $LAB_BRIDGE ($LAB_HOST_IP), dc1 $LAB_DC_IP"
ip link add "$LAB_BRIDGE" type bridge
ip addr add "$LAB_HOST_IP/$LAB_PREFIX" dev "$LAB_BRIDGE"
ip link set "$LAB_BRIDGE" up
lab_add_namespace "$LAB_NS" "$LAB_HOST_VETH1" "$LAB_DC_IP"

# Files here are bind-mounted over /etc/resolv.conf and /etc/hosts for every
# process started with `ip netns exec`, so the namespace resolves the domain
# through the DC's own DNS, as a joined machine would.
mkdir -p "/etc/netns/$LAB_NS"
cat >"/etc/netns/$LAB_NS/resolv.conf" <<EOF
search $LAB_DOMAIN
nameserver $LAB_DC_IP
options timeout:1 attempts:2
EOF
cat >"/etc/netns/$LAB_NS/hosts" <<EOF
127.0.0.1 localhost
$LAB_DC_IP $LAB_DC_HOST dc1
EOF

lab_provision "$LAB_NS" "$LAB_TARGET" "$LAB_REALM" "$LAB_NETBIOS" "$LAB_DC_IP" \
  "$LAB_STATE/log/provision.log"

lab_fix_conf "$LAB_CONF" "$LAB_STATE/run/dc1" samba-dc1
lab_write_krb5_conf

lab_log "starting samba in $LAB_NS"
ip netns exec "$LAB_NS" samba -s "$LAB_CONF" -D >"$LAB_STATE/log/samba-dc1.start.log" 2>&1 9>&- ||
  lab_die "samba did not start (log: $LAB_STATE/log/samba-dc1.log)"

# Waits until each readiness check passes, within one overall deadline.
deadline=$(($(date +%s) + LAB_START_TIMEOUT))
lab_wait() {
  local what="$1"
  shift
  until "$@"; do
    if [ "$(date +%s)" -ge "$deadline" ]; then
      tail -n 30 "$LAB_STATE/log/samba-dc1.log" >&2 2>/dev/null || true
      lab_die "timed out after ${LAB_START_TIMEOUT}s waiting for: $what (log: $LAB_STATE/log/samba-dc1.log)"
    fi
    if [ -f "$LAB_PID_FILE" ] && ! kill -0 "$(tr -dc '0-9' <"$LAB_PID_FILE")" 2>/dev/null; then
      tail -n 30 "$LAB_STATE/log/samba-dc1.log" >&2 2>/dev/null || true
      lab_die "samba exited while waiting for: $what"
    fi
    sleep 0.25
  done
  lab_log "ready: $what ($(($(lab_now_ms) - started_ms)) ms)"
}
lab_wait "RootDSE on ldap://$LAB_DC_IP" lab_rootdse_ok "$LAB_DC_IP"
lab_wait "SRV _ldap._tcp.dc._msdcs.$LAB_DOMAIN" lab_srv_ok "$LAB_DC_HOST"
lab_wait "simple bind as Administrator" lab_simple_bind_ok "$LAB_DC_IP"
lab_wait "Kerberos ticket for ldap/$LAB_DC_HOST" lab_kinit "$LAB_DC_HOST"

lab_write_env
lab_log "lab up in $(($(lab_now_ms) - started_ms)) ms; environment: $LAB_ENV_FILE"

if [ "$want_dc2" = yes ]; then
  "$LAB_DIR/add_dc2.sh" "$LAB_STATE"
fi
echo "$LAB_ENV_FILE"
