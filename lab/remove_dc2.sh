#!/usr/bin/env bash
# Removes the second domain controller again: lab/remove_dc2.sh [STATE_DIR]
#
# Stops dc2, deletes its namespace, links and files, and removes it from the
# domain through dc1 (computer account, server and NTDS settings objects,
# DNS records, replication links), so that the domain's locator again
# answers with dc1 alone. dc1 keeps running. Idempotent: without a dc2 it
# only checks that nothing of one is left.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

case "${1:-}" in
  -h | --help)
    sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
esac
lab_require_root
lab_require_tools
if [ -n "${1:-}" ]; then
  # shellcheck disable=SC2034 # read by lab_load_env
  LAB_ENV="$1/lab.env"
fi
lab_load_env
lab_lock
started_ms=$(lab_now_ms)

dc2_account="CN=DC2,OU=Domain Controllers,$LAB_BASE_DN"
dc2_server="CN=DC2,CN=Servers,CN=Default-First-Site-Name,CN=Sites,CN=Configuration,$LAB_BASE_DN"
dns_partitions=("DC=DomainDnsZones,$LAB_BASE_DN" "DC=ForestDnsZones,$LAB_BASE_DN")

dc1_ldap() { lab_ldap_tool "$1" "$LAB_DC_IP" "${@:2}"; }
# Whether dc1 still lists replication links (either way) to a DC2.
# The listing is read whole first: under pipefail, grep -q leaving early
# could end showrepl with SIGPIPE and turn a match into "no links".
dc2_links_left() {
  local links
  links="$(lab_ns_run "$LAB_NS" samba-tool drs showrepl "$LAB_DC_HOST" -U Administrator \
    --password="$LAB_ADMIN_PASSWORD" 2>/dev/null)" || true
  grep -q -e '\\DC2 ' -e 'CN=DC2[,\\]' <<<"$links"
}
entry_exists() {
  dc1_ldap ldapsearch -LLL -b "$1" -s base '(objectClass=*)' 1.1 2>/dev/null | grep -q '^dn: '
}

# --- dc2's processes, namespace and files ------------------------------------

lab_remove_namespace "$LAB_NS2" "$LAB_HOST_VETH2" "$LAB_PID_FILE2"
rm -rf "/etc/netns/$LAB_NS2" "$LAB_TARGET2" "$LAB_STATE/run/dc2"
# The test namespace's hosts file goes back to what start.sh wrote.
printf '127.0.0.1 localhost\n%s %s dc1\n' "$LAB_DC_IP" "$LAB_DC_HOST" >"/etc/netns/$LAB_NS/hosts"
lab_log "dc2 stopped ($(($(lab_now_ms) - started_ms)) ms)"

# --- dc2 in the domain -------------------------------------------------------

# The demote of a dead server, run against dc1, deletes dc2's computer
# account, server and NTDS settings objects, sysvol references and most of
# its DNS records.
demoted=no
if entry_exists "$dc2_account" || entry_exists "$dc2_server"; then
  demoted=yes
  t0=$(lab_now_ms)
  if ! lab_ns_run "$LAB_NS" timeout 120 samba-tool domain demote --remove-other-dead-server=DC2 \
    -H "ldap://$LAB_DC_HOST" -U Administrator --password="$LAB_ADMIN_PASSWORD" \
    >"$LAB_STATE/log/demote-dc2.log" 2>&1; then
    tail -n 20 "$LAB_STATE/log/demote-dc2.log" >&2
    lab_log "demote of dc2 failed; deleting its objects directly"
    dc1_ldap ldapdelete -r "$dc2_server" >/dev/null 2>&1 || true
    dc1_ldap ldapdelete -r "$dc2_account" >/dev/null 2>&1 || true
  fi
  lab_log "dc2 demoted in $(($(lab_now_ms) - t0)) ms"
fi

# The demote leaves some records behind (the A record of gc._msdcs with
# dc2's address, tombstoned nodes of dc2's own name and of its CNAME). Every
# DNS record that names dc2's address or host goes: the value alone when the
# node holds others, else the whole node.
points_at_dc2() {
  local b64="$1" hex
  hex="$(printf '%s' "$b64" | base64 -d 2>/dev/null | od -An -v -tx1 | tr -d ' \n')"
  # Type 1 (A, little-endian at byte 2) with dc2's address as its data (bytes 24..27).
  local ip_hex
  # shellcheck disable=SC2086 # the four parts of the address
  ip_hex="$(printf '%02x' ${LAB_DC2_IP//./ })"
  if [ "${hex:4:4}" = 0100 ] && [ "${hex:48}" = "$ip_hex" ]; then
    return 0
  fi
  # NS, CNAME and SRV data carry the host as length-prefixed labels.
  printf '%s' "$b64" | base64 -d 2>/dev/null | tr -c '[:alnum:]-' '.' |
    grep -qi "\.${LAB_DC2_HOST//./\\.}\.\?"
}
# A GUID as the directory returns it (base64 of the wire form, whose first
# three fields are little-endian) in its text form.
guid_text() {
  local g
  g="$(printf '%s' "$1" | base64 -d 2>/dev/null | od -An -v -tx1 | tr -d ' \n')"
  [ ${#g} -eq 32 ] || return 0
  echo "${g:6:2}${g:4:2}${g:2:2}${g:0:2}-${g:10:2}${g:8:2}-${g:14:2}${g:12:2}-${g:16:4}-${g:20:12}"
}
# Nodes the DNS server only tombstoned: dc2's own name, and the CNAME of
# every deleted NTDS settings object (the demoted dc2's, earlier ones too).
tomb_nodes=("DC=DC2,DC=$LAB_DOMAIN,CN=MicrosoftDNS,DC=DomainDnsZones,$LAB_BASE_DN")
while read -r b64; do
  guid="$(guid_text "$b64")"
  [ -z "$guid" ] ||
    tomb_nodes+=("DC=$guid,DC=_msdcs.$LAB_DOMAIN,CN=MicrosoftDNS,DC=ForestDnsZones,$LAB_BASE_DN")
done < <(dc1_ldap ldapsearch -LLL -o ldif-wrap=no -E '!1.2.840.113556.1.4.417' \
  -b "CN=Configuration,$LAB_BASE_DN" '(&(objectClass=nTDSDSA)(isDeleted=TRUE))' objectGUID 2>/dev/null |
  sed -n 's/^objectGUID:: //p')
# One node read from the listing: its DN, the values that point at dc2, how
# many values it has, whether it is tombstoned.
flush() {
  [ -n "$dn" ] || return 0
  local node_is_dc2=no t
  for t in "${tomb_nodes[@]}"; do
    [ "${dn,,}" = "${t,,}" ] && node_is_dc2=yes
  done
  if { [ ${#values[@]} -gt 0 ] && [ ${#values[@]} -eq "$all" ]; } ||
    { [ "$tombstoned" = yes ] && [ "$node_is_dc2" = yes ]; }; then
    dc1_ldap ldapdelete "$dn" >/dev/null || lab_die "could not delete $dn"
    removed=$((removed + 1))
  elif [ ${#values[@]} -gt 0 ]; then
    {
      printf 'dn: %s\nchangetype: modify\ndelete: dnsRecord\n' "$dn"
      printf 'dnsRecord:: %s\n' "${values[@]}"
      printf -- '-\n'
    } | dc1_ldap ldapmodify >/dev/null || lab_die "could not remove dc2's records from $dn"
    removed=$((removed + 1))
  fi
}
removed=0
for partition in "${dns_partitions[@]}"; do
  listing="$(dc1_ldap ldapsearch -LLL -o ldif-wrap=no -E pr=1000/noprompt -b "$partition" \
    '(objectClass=dnsNode)' dnsRecord dNSTombstoned)" || lab_die "could not list the DNS nodes of $partition"
  dn="" values=() all=0 tombstoned=no
  while IFS= read -r line; do
    case "$line" in
      'dn: '*)
        flush
        dn="${line#dn: }" values=() all=0 tombstoned=no
        ;;
      'dnsRecord:: '*)
        all=$((all + 1))
        if points_at_dc2 "${line#dnsRecord:: }"; then values+=("${line#dnsRecord:: }"); fi
        ;;
      'dNSTombstoned: TRUE') tombstoned=yes ;;
    esac
  done <<<"$listing"
  flush
done
lab_log "DNS: $removed node(s) of dc2 cleaned"

# dc1's replication service keeps the tickets it had for this dc2's services
# (GC/dc2...) for as long as it runs; a dc2 joined later has new keys, and
# dc1's replication from it would fail to authenticate. A restart of dc1
# forgets them. Only after a demote: without one there were no such tickets.
if [ "$demoted" = yes ]; then
  t0=$(lab_now_ms)
  lab_kill_pidfile "$LAB_PID_FILE"
  # The workers may outlive the main process for a moment, holding the ports.
  for _ in $(seq 1 100); do
    busy=no
    for pid in $(ip netns pids "$LAB_NS" 2>/dev/null); do
      [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = samba ] && busy=yes
    done
    [ "$busy" = no ] && break
    sleep 0.1
  done
  ip netns exec "$LAB_NS" samba -s "$LAB_CONF" -D >>"$LAB_STATE/log/samba-dc1.start.log" 2>&1 9>&- ||
    lab_die "samba (dc1) did not restart (log: $LAB_STATE/log/samba-dc1.log)"
  deadline=$(($(date +%s) + LAB_START_TIMEOUT))
  until lab_rootdse_ok "$LAB_DC_IP" && lab_simple_bind_ok "$LAB_DC_IP" && lab_srv_ok "$LAB_DC_HOST" &&
    lab_kinit; do
    if [ "$(date +%s)" -ge "$deadline" ]; then
      tail -n 30 "$LAB_STATE/log/samba-dc1.log" >&2 2>/dev/null || true
      lab_die "dc1 did not come back after its restart"
    fi
    sleep 0.25
  done
  lab_log "dc1 restarted in $(($(lab_now_ms) - t0)) ms"
fi

# dc1's replication links to dc2 go at its next consistency check. Run it
# now, on the restarted dc1, and again until the links are gone: a check may
# fail or leave them while dc1 still waits on the vanished dc2.
: >"$LAB_STATE/log/kcc-dc1.log"
links_deadline=$(($(date +%s) + 60))
while dc2_links_left; do
  if [ "$(date +%s)" -ge "$links_deadline" ]; then
    tail -n 5 "$LAB_STATE/log/kcc-dc1.log" >&2 2>/dev/null || true
    break
  fi
  lab_ns_run "$LAB_NS" timeout 30 samba-tool drs kcc "$LAB_DC_HOST" \
    -U Administrator --password="$LAB_ADMIN_PASSWORD" >>"$LAB_STATE/log/kcc-dc1.log" 2>&1 ||
    lab_log "warning: samba-tool drs kcc on dc1 failed (log: $LAB_STATE/log/kcc-dc1.log)"
  dc2_links_left || break
  sleep 2
done

# A fresh Administrator ticket cache: service tickets for dc2 encrypted with
# the keys of this dc2 would fail against a later one.
lab_kinit || lab_die "kinit Administrator@$LAB_REALM failed"
lab_write_env

# --- nothing of dc2 left -----------------------------------------------------

problems=()
lab_ns_exists "$LAB_NS2" && problems+=("namespace $LAB_NS2")
entry_exists "$dc2_account" && problems+=("$dc2_account")
entry_exists "$dc2_server" && problems+=("$dc2_server")
srv="$(ip netns exec "$LAB_NS" timeout 5 dig +short +time=1 +tries=2 @"$LAB_DC_IP" \
  SRV "_ldap._tcp.dc._msdcs.$LAB_DOMAIN")" || problems+=("DNS query of _ldap._tcp.dc._msdcs.$LAB_DOMAIN")
[ "$srv" = "0 100 389 $LAB_DC_HOST." ] || problems+=("SRV _ldap._tcp.dc._msdcs.$LAB_DOMAIN: $srv")
for name in "$LAB_DC2_HOST" "gc._msdcs.$LAB_DOMAIN" "$LAB_DOMAIN"; do
  a="$(ip netns exec "$LAB_NS" timeout 5 dig +short +time=1 +tries=2 @"$LAB_DC_IP" A "$name" | tr '\n' ' ')" || true
  case " $a" in *" $LAB_DC2_IP "*) problems+=("A $name: $a") ;; esac
done
dc2_links_left && problems+=("replication links of dc1 to DC2")
lab_rootdse_ok "$LAB_DC_IP" && lab_simple_bind_ok "$LAB_DC_IP" || problems+=("dc1 does not answer")
[ ${#problems[@]} -eq 0 ] || lab_die "dc2 is not fully removed: $(printf '%s; ' "${problems[@]}")"
lab_log "dc2 removed in $(($(lab_now_ms) - started_ms)) ms; the domain has dc1 alone"
