#!/usr/bin/env bash
# Runs a test of the Windows build when that build and Wine are there:
#   windows_check.sh FILE.exe COMMAND [ARGS...]
# Without them the test is skipped (exit 77), or fails when
# TALVEX_REQUIRE_WINDOWS or CI is set.
set -euo pipefail
exe=${1:?usage: windows_check.sh FILE.exe COMMAND [ARGS...]}
shift
if [ ! -f "$exe" ] || [ ! -x "${TALVEX_WINE:-/usr/lib/wine/wine64}" ]; then
  message="no $exe or no Wine: bash scripts/build_windows.sh builds it and installs Wine"
  if [ -n "${TALVEX_REQUIRE_WINDOWS:-}${CI:-}" ]; then
    echo "$message" >&2
    exit 1
  fi
  echo "skipped: $message"
  exit 77
fi
exec "$@"
