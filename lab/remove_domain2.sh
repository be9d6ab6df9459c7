#!/usr/bin/env bash
# Removes the second domain from the running lab: lab/remove_domain2.sh [STATE_DIR]
#
# Ends its samba, deletes the namespace talvexlab3 and its files, the lab
# namespace's hosts line for its controller and its zone in the lab domain's
# DNS. Idempotent.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

case "${1:-}" in
  -h | --help)
    sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
esac
lab_require_root
if [ -n "${1:-}" ]; then
  LAB_ENV="$1/lab.env"
fi
lab_load_env
lab_lock
lab_remove_namespace "$LAB_NS3" "$LAB_HOST_VETH3" "$LAB_PID_FILE3"
rm -rf "/etc/netns/$LAB_NS3" "$LAB_TARGET3" "$LAB_STATE/run/dom2"
if [ -f "/etc/netns/$LAB_NS/hosts" ]; then
  sed -i "/ $(printf '%s' "$LAB_DOM2_HOST" | sed 's/\./\\./g')\$/d" "/etc/netns/$LAB_NS/hosts"
fi
lab_ns_run "$LAB_NS" samba-tool dns zonedelete "$LAB_DC_IP" "$LAB_DOM2_DOMAIN" \
  -U Administrator --password="$LAB_ADMIN_PASSWORD" >/dev/null 2>&1 || true
lab_log "$LAB_DOM2_DOMAIN removed"
