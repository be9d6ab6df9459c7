#!/usr/bin/env bash
# Stops the lab and removes every trace of it: lab/stop.sh [STATE_DIR]
#
# Ends the samba processes of both lab namespaces, deletes the namespaces, the
# bridge, /etc/netns/talvexlab*, the state directory and the fixed copy of
# lab.env. Idempotent: stopping a lab that is not there succeeds.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

case "${1:-}" in
  -h | --help)
    sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
esac
lab_require_root
lab_resolve_state "${1:-}"
lab_lock
started_ms=$(lab_now_ms)
lab_teardown "$LAB_STATE"
lab_log "lab stopped and removed ($LAB_STATE) in $(($(lab_now_ms) - started_ms)) ms"
