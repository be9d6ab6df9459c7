#!/usr/bin/env bash
# The main job on a local lab domain: installs, builds, starts and seeds the
# lab domain controller, and shows every password policy of its domain.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
state=${LAB_STATE:-/tmp/talvex-lab}

bash "$top/scripts/install_deps.sh"
BUILD_DIR=$build bash "$top/scripts/build.sh"
bash "$top/lab/start.sh" "$state"
bash "$top/lab/seed.sh" "$state"
bash "$top/lab/exec.sh" "$build/src/frontend/talvex" -view -allpwdpols "$@"
