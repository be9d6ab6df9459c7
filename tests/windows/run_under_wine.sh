#!/usr/bin/env bash
# Runs a cross-built program (the unit tests, talvex.exe) under Wine: one
# Wine prefix per Windows build tree, created by the first run and reused
# afterwards (a fresh prefix takes several seconds to set up), and Wine's
# own diagnostics off so that only the program's output shows.
set -euo pipefail
program="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
shift
# The build tree: the nearest directory above the program with a CMake cache.
build_dir="${TALVEX_WINDOWS_BUILD_DIR:-}"
if [[ -z "$build_dir" ]]; then
  build_dir="$(dirname "$program")"
  while [[ "$build_dir" != / && ! -f "$build_dir/CMakeCache.txt" ]]; do
    build_dir="$(dirname "$build_dir")"
  done
fi
export WINEPREFIX="${WINEPREFIX:-$build_dir/wineprefix}"
export WINEDEBUG=-all
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1 || true
  wineserver --wait || true
fi
exec wine "$program" "$@"
