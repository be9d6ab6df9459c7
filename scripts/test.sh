#!/usr/bin/env bash
# Runs every test on a fresh Debian 12 machine (as root): installs what is
# needed, builds the Linux binary and cross-builds talvex.exe, starts and
# seeds the lab domain controller, runs the unit and end-to-end tests of
# both (the Windows ones under Wine), and leaves the lab running.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
windows_build=${WINDOWS_BUILD_DIR:-$top/build-windows}
state=${LAB_STATE:-/tmp/talvex-lab}

bash "$top/scripts/install_deps.sh"
BUILD_DIR=$build bash "$top/scripts/build.sh" \
  -DTALVEX_WINDOWS_TESTS=ON -DTALVEX_WINDOWS_BUILD_DIR="$windows_build"
# The Windows half: MinGW-w64 and Wine are installed by the script itself.
BUILD_DIR=$windows_build bash "$top/scripts/build_windows.sh"

# The lab is left running for the next run (start.sh reuses a healthy
# lab); lab/stop.sh tears it down.
bash "$top/lab/start.sh" "$state"
# A second DC exists only while its own test runs; one left behind by an
# interrupted run would let the locator pick it in every other test.
if ip netns list 2>/dev/null | grep -q '^talvexlab2\b' || grep -q LAB_DC2 "$state/lab.env" 2>/dev/null; then
  bash "$top/lab/remove_dc2.sh" "$state"
fi
# Likewise the second domain (its zone in the lab's DNS goes with it).
if ip netns list 2>/dev/null | grep -q '^talvexlab3\b'; then
  bash "$top/lab/remove_domain2.sh" "$state"
fi
bash "$top/lab/seed.sh" "$state"

export TALVEX_LAB_ENV=$state/lab.env
cd "$build"
# Both halves must run: a missing talvex.exe or Wine fails its tests here
# instead of skipping them.
TALVEX_REQUIRE_WINDOWS=1 ctest --output-on-failure --timeout 900
