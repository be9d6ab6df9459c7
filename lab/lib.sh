# shellcheck shell=bash disable=SC2034
# Shared settings and helpers of the lab scripts. Sourced, never run.
#
# The lab is one Samba Active Directory domain controller (dc1) living in the
# network namespace talvexlab, optionally a second one (dc2) in talvexlab2.
# Both namespaces hang off a bridge in the host namespace, so the host, dc1
# and dc2 reach each other on 10.99.0.0/24 and nothing else: the namespaces
# have no default route, so no lab process can send traffic off the machine.

LAB_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

LAB_DEFAULT_STATE=/tmp/talvex-lab
# A copy of the running lab's lab.env, at one fixed place, so that tests and
# the wrapper scripts find the lab whatever state directory it was started with.
LAB_CURRENT_ENV=/tmp/talvex-lab.env
LAB_MARKER=.talvex-lab

LAB_NS=talvexlab
LAB_NS2=talvexlab2
# A second, separate domain (its own forest) for tests that carry policies
# from one domain to another: lab/add_domain2.sh.
LAB_NS3=talvexlab3
LAB_BRIDGE=tvx-br0
LAB_HOST_VETH1=tvx-dc1
LAB_HOST_VETH2=tvx-dc2
LAB_HOST_VETH3=tvx-dom2
LAB_IFACE=lab0
LAB_HOST_IP=10.99.0.1
LAB_DC_IP=10.99.0.11
LAB_DC2_IP=10.99.0.12
LAB_DOM2_IP=10.99.0.13
LAB_PREFIX=24

LAB_DOMAIN=corp.example.com
LAB_REALM=CORP.EXAMPLE.COM
LAB_NETBIOS=CORP
LAB_BASE_DN='DC=corp,DC=example,DC=com'
LAB_DC_HOST=dc1.corp.example.com
LAB_DC2_HOST=dc2.corp.example.com
LAB_DOM2_DOMAIN=other.example.com
LAB_DOM2_REALM=OTHER.EXAMPLE.COM
LAB_DOM2_NETBIOS=OTHER
LAB_DOM2_BASE_DN='DC=other,DC=example,DC=com'
LAB_DOM2_HOST=dc1.other.example.com
# Both meet the domain's default complexity rules.
LAB_ADMIN_PASSWORD='Talvex.Lab.2024'
LAB_USER_PASSWORD='Talvex.User.2024'

# How long start.sh waits for the DC to answer everything it must answer.
LAB_START_TIMEOUT=${LAB_START_TIMEOUT:-60}

lab_log() { printf 'lab: %s\n' "$*" >&2; }
lab_die() { printf 'lab: ERROR: %s\n' "$*" >&2; exit 1; }

lab_require_root() {
  [ "$(id -u)" = 0 ] || lab_die "must run as root (network namespaces, samba)"
}

lab_require_tools() {
  local t missing=()
  for t in ip samba samba-tool ldapsearch ldapadd ldapmodify kinit kvno klist dig timeout; do
    command -v "$t" >/dev/null 2>&1 || missing+=("$t")
  done
  [ ${#missing[@]} -eq 0 ] || lab_die "missing tools: ${missing[*]} (run lab/install.sh)"
}

# Milliseconds since the epoch, for the timings the scripts print.
lab_now_ms() { date +%s%3N; }

lab_ns_exists() { ip netns list 2>/dev/null | awk '{print $1}' | grep -qx "$1"; }

# State paths, derived from LAB_STATE.
lab_set_paths() {
  LAB_STATE="$1"
  case "$LAB_STATE" in
    /*) ;;
    *) LAB_STATE="$(pwd)/$LAB_STATE" ;;
  esac
  LAB_STATE="${LAB_STATE%/}"
  [ -n "$LAB_STATE" ] || lab_die "state directory must not be /"
  LAB_TARGET="$LAB_STATE/dc"
  LAB_CONF="$LAB_TARGET/etc/smb.conf"
  LAB_TARGET2="$LAB_STATE/dc2"
  LAB_CONF2="$LAB_TARGET2/etc/smb.conf"
  LAB_CA="$LAB_TARGET/private/tls/ca.pem"
  LAB_KRB5_CONFIG="$LAB_STATE/krb5.conf"
  LAB_KRB5CCNAME="FILE:$LAB_STATE/krb5cc_admin"
  LAB_ENV_FILE="$LAB_STATE/lab.env"
  LAB_PID_FILE="$LAB_STATE/run/dc1/samba.pid"
  LAB_PID_FILE2="$LAB_STATE/run/dc2/samba.pid"
  LAB_TARGET3="$LAB_STATE/dom2"
  LAB_CONF3="$LAB_TARGET3/etc/smb.conf"
  LAB_PID_FILE3="$LAB_STATE/run/dom2/samba.pid"
}

# The state directory from the argument, else from the running lab, else the default.
lab_resolve_state() {
  local arg="${1:-}"
  if [ -n "$arg" ]; then
    lab_set_paths "$arg"
  elif [ -n "${LAB_STATE:-}" ]; then
    lab_set_paths "$LAB_STATE"
  elif [ -f "$LAB_CURRENT_ENV" ]; then
    lab_set_paths "$(sed -n 's/^export LAB_STATE=//p' "$LAB_CURRENT_ENV" | tr -d "'\"")"
  else
    lab_set_paths "$LAB_DEFAULT_STATE"
  fi
}

# Dies unless the directory is absent, empty, or one the lab made: checked
# before anything is torn down.
lab_check_state_dir() {
  local dir="$1"
  [ -e "$dir" ] || return 0
  [ -d "$dir" ] || lab_die "$dir exists and is not a directory"
  [ -f "$dir/$LAB_MARKER" ] || [ -z "$(ls -A -- "$dir")" ] ||
    lab_die "$dir exists and is not a lab state directory (no $LAB_MARKER): choose another"
}

# Removes a state directory, but only one the lab made (it holds the marker),
# so that a mistyped argument cannot delete someone's files.
lab_remove_state_dir() {
  local dir="$1"
  [ -e "$dir" ] || return 0
  if [ -f "$dir/$LAB_MARKER" ]; then
    rm -rf -- "$dir"
  elif [ -d "$dir" ] && [ -z "$(ls -A -- "$dir")" ]; then
    rmdir -- "$dir"
  else
    lab_die "$dir exists and is not a lab state directory (no $LAB_MARKER): not removing it"
  fi
}

# Pids of this script and its ancestors: a script run inside a lab namespace
# must not end itself or the shell that started it.
lab_own_pids() {
  local pid=$$
  while [ -n "$pid" ] && [ "$pid" -gt 1 ]; do
    echo "$pid"
    pid="$(awk '{print $4}' "/proc/$pid/stat" 2>/dev/null)"
  done
}

# Pids living in a namespace, less our own.
lab_ns_pids() {
  local own
  own="$(lab_own_pids | tr '\n' ' ')"
  ip netns pids "$1" 2>/dev/null | while read -r pid; do
    case " $own " in *" $pid "*) ;; *) echo "$pid" ;; esac
  done | tr '\n' ' '
}

# Ends every process living in a lab namespace: TERM, then KILL after 5 s.
lab_kill_ns_processes() {
  local ns="$1" pids i
  lab_ns_exists "$ns" || return 0
  pids="$(lab_ns_pids "$ns")"
  [ -n "${pids// /}" ] || return 0
  # shellcheck disable=SC2086
  kill -TERM $pids 2>/dev/null || true
  for i in $(seq 1 50); do
    pids="$(lab_ns_pids "$ns")"
    [ -n "${pids// /}" ] || return 0
    sleep 0.1
  done
  # shellcheck disable=SC2086
  kill -KILL $pids 2>/dev/null || true
  sleep 0.2
}

# Ends a samba whose pid file is given, if that pid is still a samba process
# (a stale pid file may name an unrelated process by now).
lab_kill_pidfile() {
  local pidfile="$1" pid i
  [ -f "$pidfile" ] || return 0
  pid="$(tr -dc '0-9' <"$pidfile")"
  [ -n "$pid" ] || return 0
  if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = samba ]; then
    kill -TERM "$pid" 2>/dev/null || true
    for i in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || return 0
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
  fi
}

# Tears down everything a lab may have left: processes, namespaces, links,
# /etc/netns files, and the given state directory.
lab_teardown() {
  local state="$1" old_state=""
  lab_check_state_dir "$state"
  if [ -f "$LAB_CURRENT_ENV" ]; then
    old_state="$(sed -n 's/^export LAB_STATE=//p' "$LAB_CURRENT_ENV" | tr -d "'\"")"
  fi
  lab_kill_ns_processes "$LAB_NS3"
  lab_kill_ns_processes "$LAB_NS2"
  lab_kill_ns_processes "$LAB_NS"
  local s
  for s in "$state" "$old_state"; do
    [ -n "$s" ] || continue
    lab_kill_pidfile "$s/run/dom2/samba.pid"
    lab_kill_pidfile "$s/run/dc2/samba.pid"
    lab_kill_pidfile "$s/run/dc1/samba.pid"
  done
  if lab_ns_exists "$LAB_NS3"; then ip netns del "$LAB_NS3" 2>/dev/null || true; fi
  if lab_ns_exists "$LAB_NS2"; then ip netns del "$LAB_NS2" 2>/dev/null || true; fi
  if lab_ns_exists "$LAB_NS"; then ip netns del "$LAB_NS" 2>/dev/null || true; fi
  local l
  for l in "$LAB_HOST_VETH1" "$LAB_HOST_VETH2" "$LAB_HOST_VETH3" "$LAB_BRIDGE"; do
    ip link del "$l" 2>/dev/null || true
  done
  # The host end of a veth goes away with its namespace, a moment later.
  local i
  for i in $(seq 1 50); do
    ip link show "$LAB_HOST_VETH1" >/dev/null 2>&1 || ip link show "$LAB_HOST_VETH2" >/dev/null 2>&1 ||
      ip link show "$LAB_BRIDGE" >/dev/null 2>&1 || break
    sleep 0.1
  done
  rm -rf "/etc/netns/$LAB_NS" "/etc/netns/$LAB_NS2" "/etc/netns/$LAB_NS3"
  rmdir /etc/netns 2>/dev/null || true
  lab_remove_state_dir "$state"
  if [ -n "$old_state" ] && [ "$old_state" != "$state" ]; then
    (lab_remove_state_dir "$old_state") || true
  fi
  rm -f "$LAB_CURRENT_ENV"
}

# A namespace of the lab with its address on the lab's bridge, through a veth
# pair: lab_add_namespace NS HOST_VETH IP.
lab_add_namespace() {
  local ns="$1" veth="$2" ip="$3"
  ip netns add "$ns"
  ip link add "$veth" type veth peer name "$LAB_IFACE" netns "$ns"
  ip link set "$veth" master "$LAB_BRIDGE"
  ip link set "$veth" up
  ip -n "$ns" link set lo up
  ip -n "$ns" addr add "$ip/$LAB_PREFIX" dev "$LAB_IFACE"
  ip -n "$ns" link set "$LAB_IFACE" up
}

# Ends a namespace's samba and every other process in it, and deletes the
# namespace and its veth: lab_remove_namespace NS HOST_VETH PID_FILE.
lab_remove_namespace() {
  local ns="$1" veth="$2" pidfile="$3"
  lab_kill_ns_processes "$ns"
  lab_kill_pidfile "$pidfile"
  if lab_ns_exists "$ns"; then ip netns del "$ns" 2>/dev/null || true; fi
  ip link del "$veth" 2>/dev/null || true
}

# Provisions a new domain whose one DC is dc1 at the given address, inside
# its namespace, with the lab's Administrator password:
# lab_provision NS TARGET_DIR REALM NETBIOS IP LOG_FILE.
lab_provision() {
  local ns="$1" target="$2" realm="$3" netbios="$4" ip="$5" log="$6" t0
  lab_log "provisioning $realm"
  : >"$LAB_STATE/empty.conf"
  t0=$(lab_now_ms)
  if ! ip netns exec "$ns" samba-tool domain provision -s "$LAB_STATE/empty.conf" \
    --targetdir="$target" --realm="$realm" --domain="$netbios" \
    --server-role=dc --dns-backend=SAMBA_INTERNAL --adminpass="$LAB_ADMIN_PASSWORD" \
    --host-name=dc1 --host-ip="$ip" \
    --option="interfaces=lo $LAB_IFACE" --option="bind interfaces only=yes" \
    >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    lab_die "samba-tool domain provision failed (log: $log)"
  fi
  lab_log "provisioned in $(($(lab_now_ms) - t0)) ms"
}

# Provision drops `ldap server require strong auth` given as --option, and
# without it simple binds on 389 fail with 8 "Transport encryption required".
# It also copies the namespace's resolver (the DC itself) as DNS forwarder,
# which makes the DC's DNS forward to itself and spin: the line goes.
lab_fix_conf() {
  local conf="$1" run="$2" logname="$3"
  # samba makes the socket directories itself, with the modes it insists on.
  mkdir -p "$run"
  sed -i '/^[[:space:]]*dns forwarder[[:space:]]*=/d' "$conf"
  sed -i "/^\[global\]/a\\
\tldap server require strong auth = no\\
\tpid directory = $run\\
\tncalrpc dir = $run/ncalrpc\\
\twinbindd socket directory = $run/winbindd\\
\tntp signd socket directory = $run/ntp_signd\\
\tlog file = $LAB_STATE/log/$logname.log\\
\tmax log size = 10000" "$conf"
  grep -q 'ldap server require strong auth = no' "$conf" || lab_die "could not edit $conf"
}

# Runs a command inside a namespace with the lab's Kerberos environment.
lab_ns_run() {
  local ns="$1"
  shift
  ip netns exec "$ns" env KRB5_CONFIG="$LAB_KRB5_CONFIG" KRB5CCNAME="$LAB_KRB5CCNAME" \
    LDAPTLS_CACERT="$LAB_CA" LDAPSASL_NOCANON=on "$@"
}

# Runs an OpenLDAP tool with a simple bind as Administrator against the DC at
# the given address, inside the namespace: lab_ldap_tool TOOL IP ARGS...
lab_ldap_tool() {
  local tool="$1" ip="$2"
  shift 2
  lab_ns_run "$LAB_NS" timeout 600 "$tool" -x -H "ldap://$ip" -o nettimeout=5 \
    -D "Administrator@$LAB_DOMAIN" -w "$LAB_ADMIN_PASSWORD" "$@"
}

# Same over LDAPS to the given host name, checked against the lab's CA (the
# DC takes passwords only over an encrypted connection).
lab_ldaps_tool() {
  local tool="$1" host="$2"
  shift 2
  lab_ns_run "$LAB_NS" timeout 600 "$tool" -x -H "ldaps://$host" -o nettimeout=5 \
    -D "Administrator@$LAB_DOMAIN" -w "$LAB_ADMIN_PASSWORD" "$@"
}

# True when the RootDSE of the DC at the given IP answers within a few seconds.
lab_rootdse_ok() {
  ip netns exec "$LAB_NS" timeout 5 ldapsearch -x -H "ldap://$1" -o nettimeout=2 \
    -b '' -s base '(objectClass=*)' defaultNamingContext 2>/dev/null | grep -q '^defaultNamingContext:'
}

lab_simple_bind_ok() {
  ip netns exec "$LAB_NS" timeout 5 ldapsearch -x -H "ldap://$1" -o nettimeout=2 \
    -D "Administrator@$LAB_DOMAIN" -w "$LAB_ADMIN_PASSWORD" \
    -b "$LAB_BASE_DN" -s base '(objectClass=*)' dn >/dev/null 2>&1
}

lab_srv_ok() {
  ip netns exec "$LAB_NS" timeout 5 dig +short +time=1 +tries=1 @"$LAB_DC_IP" \
    SRV "_ldap._tcp.dc._msdcs.$LAB_DOMAIN" 2>/dev/null | grep -q "$1"
}

# Gets (or renews) the Administrator ticket in the lab cache and a service
# ticket for the DC's LDAP service.
lab_kinit() {
  local host="${1:-$LAB_DC_HOST}"
  printf '%s\n' "$LAB_ADMIN_PASSWORD" |
    lab_ns_run "$LAB_NS" timeout 10 kinit "Administrator@$LAB_REALM" >/dev/null 2>&1 || return 1
  lab_ns_run "$LAB_NS" timeout 10 kvno "ldap/$host" >/dev/null 2>&1
}

# The KDC is named by address so that the file works from the host too; dc1
# stays the only KDC when dc2 joins, so tickets never depend on replication.
lab_write_krb5_conf() {
  cat >"$LAB_KRB5_CONFIG" <<EOF
# Kerberos configuration of the Talvex lab, used through KRB5_CONFIG only.
[libdefaults]
    default_realm = $LAB_REALM
    dns_lookup_realm = false
    dns_lookup_kdc = false
    dns_canonicalize_hostname = false
    rdns = false
    ticket_lifetime = 24h
    renew_lifetime = 7d
    forwardable = true

[realms]
    $LAB_REALM = {
        kdc = $LAB_DC_IP
        admin_server = $LAB_DC_IP
        default_domain = $LAB_DOMAIN
    }

[domain_realm]
    .$LAB_DOMAIN = $LAB_REALM
    $LAB_DOMAIN = $LAB_REALM
EOF
}

lab_write_env() {
  local with_dc2="${1:-}"
  cat >"$LAB_ENV_FILE.tmp" <<EOF
# Environment of the Talvex lab, written by lab/start.sh. Source it.
export LAB_STATE='$LAB_STATE'
export LAB_DIR='$LAB_DIR'
export LAB_NS='$LAB_NS'
export LAB_DC_IP='$LAB_DC_IP'
export LAB_DC_HOST='$LAB_DC_HOST'
export LAB_DOMAIN='$LAB_DOMAIN'
export LAB_REALM='$LAB_REALM'
export LAB_NETBIOS='$LAB_NETBIOS'
export LAB_BASE_DN='$LAB_BASE_DN'
export LAB_ADMIN_USER='Administrator'
export LAB_ADMIN_PASSWORD='$LAB_ADMIN_PASSWORD'
export LAB_USER_PASSWORD='$LAB_USER_PASSWORD'
export LAB_CA='$LAB_CA'
export LAB_CONF='$LAB_CONF'
export KRB5_CONFIG='$LAB_KRB5_CONFIG'
export LAB_KRB5_CONFIG='$LAB_KRB5_CONFIG'
export LAB_KRB5CCNAME='$LAB_KRB5CCNAME'
export LAB_PSO_CONTAINER='CN=Password Settings Container,CN=System,$LAB_BASE_DN'
export LAB_STAFF_DN='OU=Staff,$LAB_BASE_DN'
export LAB_BULK_DN='OU=Bulk,$LAB_BASE_DN'
EOF
  if [ "$with_dc2" = with-dc2 ]; then
    cat >>"$LAB_ENV_FILE.tmp" <<EOF
export LAB_NS2='$LAB_NS2'
export LAB_DC2_IP='$LAB_DC2_IP'
export LAB_DC2_HOST='$LAB_DC2_HOST'
EOF
  fi
  cat >>"$LAB_ENV_FILE.tmp" <<'EOF'
# Runs a command inside the lab namespace with the lab's Kerberos environment.
lab_exec() {
  ip netns exec "$LAB_NS" env KRB5_CONFIG="$LAB_KRB5_CONFIG" KRB5CCNAME="$LAB_KRB5CCNAME" "$@"
}
EOF
  mv -f "$LAB_ENV_FILE.tmp" "$LAB_ENV_FILE"
  cp -f "$LAB_ENV_FILE" "$LAB_CURRENT_ENV"
}

# Loads the running lab's environment (for the wrapper scripts): $LAB_ENV if
# set, else the fixed copy of the running lab's lab.env.
lab_load_env() {
  local env_file="${LAB_ENV:-$LAB_CURRENT_ENV}"
  [ -f "$env_file" ] || lab_die "the lab is not running ($env_file missing): run lab/start.sh"
  local state
  state="$(sed -n 's/^export LAB_STATE=//p' "$env_file" | tr -d "'\"")"
  [ -n "$state" ] || lab_die "$env_file names no LAB_STATE"
  lab_set_paths "$state"
  # shellcheck disable=SC1090
  . "$env_file"
  lab_ns_exists "$LAB_NS" || lab_die "namespace $LAB_NS is missing: run lab/start.sh"
}

# Renews the lab's Administrator ticket when it is missing or expired.
lab_ensure_ticket() {
  lab_ns_run "$LAB_NS" klist -s 2>/dev/null || lab_kinit || lab_die "kinit Administrator@$LAB_REALM failed"
}

# Serialises the scripts that change the lab, so that two test runs starting
# the lab at once do not build it twice. Scripts started by a script that
# holds the lock (start.sh runs add_dc2.sh) inherit it.
LAB_LOCK_FILE=/tmp/talvex-lab.lock
lab_lock() {
  [ "${LAB_LOCK_HELD:-}" = 1 ] && return 0
  exec 9>>"$LAB_LOCK_FILE"
  flock -w 600 9 || lab_die "another lab script holds $LAB_LOCK_FILE for over 10 minutes"
  export LAB_LOCK_HELD=1
}
