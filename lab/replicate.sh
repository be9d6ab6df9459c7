#!/usr/bin/env bash
# Forces replication of the domain partition (where users, groups and PSOs live) between dc1 and dc2 in both
# directions: lab/replicate.sh [STATE_DIR]
#
# Samba replicates on its own (change notifications, a periodic pull every
# few minutes); tests that write through one DC and read through the other
# call this to have the change on both at once. Needs lab/add_dc2.sh first.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

case "${1:-}" in
  -h | --help)
    sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
esac
lab_require_root
if [ -n "${1:-}" ]; then
  LAB_ENV="$1/lab.env"
fi
lab_load_env
lab_lock
lab_ns_exists "$LAB_NS2" || lab_die "there is no second DC: run lab/add_dc2.sh"

drs() {
  lab_ns_run "$LAB_NS" timeout 60 samba-tool drs "$@" \
    -U Administrator --password="$LAB_ADMIN_PASSWORD" 2>&1 | grep -v '^WARNING: Using password on command line'
  return "${PIPESTATUS[0]}"
}
drs replicate "$LAB_DC_HOST" "$LAB_DC2_HOST" "$LAB_BASE_DN" >/dev/null ||
  lab_die "replication dc2 -> dc1 of $LAB_BASE_DN failed"
drs replicate "$LAB_DC2_HOST" "$LAB_DC_HOST" "$LAB_BASE_DN" >/dev/null ||
  lab_die "replication dc1 -> dc2 of $LAB_BASE_DN failed"
lab_log "replicated dc1 <-> dc2"
