#!/usr/bin/env bash
# Runs the second-DC tests (test_second_dc) with a dc2 that exists for them
# alone: tests/e2e/second_dc.sh [PYTHON]
#
# Adds dc2 to the running lab (lab/add_dc2.sh), runs the tests, and removes
# dc2 from the lab and from the domain again (lab/remove_dc2.sh), whatever
# the tests did, so that the other tests and later runs find dc1 alone in
# the domain's DNS. The lab's lock is held throughout: other lab scripts
# (start.sh, seed.sh) wait until dc2 is gone. Exit codes: the tests' own,
# 1 when dc2 could not be added or removed, 77 (skipped) when there is no lab
# or dc2 cannot be added in a local run; with CI set both of those fail.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
top="$(cd "$here/../.." && pwd)"
python="${1:-python3}"
. "$top/lab/lib.sh"

# Each step has its own limit, together below the ctest TIMEOUT, so that the
# removal always gets its turn before ctest would kill this script.
ADD_TIMEOUT=${SECOND_DC_ADD_TIMEOUT:-300}
TEST_TIMEOUT=${SECOND_DC_TEST_TIMEOUT:-240}
REMOVE_TIMEOUT=${SECOND_DC_REMOVE_TIMEOUT:-180}
LOCK_TIMEOUT=300

log() { printf 'second_dc: %s\n' "$*" >&2; }
# Skips a local run, fails under CI (as the lab tests do).
not_possible() {
  if [ -n "${CI:-}" ]; then
    log "FAILED: $*"
    exit 1
  fi
  log "SKIPPED: $* [skipped in a local run only]"
  exit 77
}

env_file="${TALVEX_LAB_ENV:-$LAB_CURRENT_ENV}"
[ -f "$env_file" ] || not_possible "the lab is not running ($env_file missing): lab/start.sh && lab/seed.sh"
state="$(dirname "$env_file")"
if [ "$env_file" = "$LAB_CURRENT_ENV" ]; then
  state="$(sed -n 's/^export LAB_STATE=//p' "$env_file" | tr -d "'\"")"
fi
[ "$(id -u)" = 0 ] || not_possible "the lab's scripts need root"

exec 9>>"$LAB_LOCK_FILE"
flock -w "$LOCK_TIMEOUT" 9 || not_possible "another lab script holds $LAB_LOCK_FILE"
export LAB_LOCK_HELD=1

now() { date +%s%3N; }
t_start=$(now)

# Each step runs in the background so that a signal (ctest's TERM, ^C)
# interrupts the wait at once: the step is ended, then dc2 removed.
step_pid=""
step() {
  local limit="$1"
  shift
  timeout "$limit" "$@" &
  step_pid=$!
  wait "$step_pid"
  local rc=$?
  step_pid=""
  return "$rc"
}

removed=no
remove() {
  [ "$removed" = no ] || return 0
  removed=yes
  local t0
  t0=$(now)
  if step "$REMOVE_TIMEOUT" bash "$top/lab/remove_dc2.sh" "$state"; then
    log "dc2 removed in $(($(now) - t0)) ms (add, tests and removal: $(($(now) - t_start)) ms)"
    return 0
  fi
  log "FAILED: dc2 could not be removed; the lab's DNS may still name it (lab/remove_dc2.sh)"
  return 1
}
# shellcheck disable=SC2317 # called by the trap
interrupted() {
  log "interrupted: ending the running step, removing dc2"
  if [ -n "$step_pid" ]; then
    kill -TERM "$step_pid" 2>/dev/null
    wait "$step_pid" 2>/dev/null
    step_pid=""
  fi
  remove
  exit 1
}
trap interrupted INT TERM HUP

t0=$(now)
if ! step "$ADD_TIMEOUT" bash "$top/lab/add_dc2.sh" "$state"; then
  remove || exit 1
  not_possible "dc2 could not be added (lab/add_dc2.sh; logs in $state/log)"
fi
log "dc2 added in $(($(now) - t0)) ms"

t0=$(now)
cd "$here" || exit 1
export TALVEX_LAB_ENV="$state/lab.env"
step "$TEST_TIMEOUT" "$python" -m unittest -v test_second_dc
status=$?
log "tests ran in $(($(now) - t0)) ms (exit $status)"

remove || exit 1
exit "$status"
