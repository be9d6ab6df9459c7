#!/usr/bin/env bash
# Creates the Wine prefix of a test run, once:  wine_prefix.sh PREFIX
#
# The first start of Wine in a fresh prefix takes tens of seconds; every
# later run reuses the prefix. A lock keeps two tests from building it at
# the same time, and a stamp written last tells a finished prefix from one
# an interrupted run left half built.
set -euo pipefail
prefix=${1:?usage: wine_prefix.sh PREFIX}
[ -f "$prefix/.talvex-ready" ] && exit 0

wine=${TALVEX_WINE:-/usr/lib/wine/wine64}
wineserver=${TALVEX_WINESERVER:-/usr/lib/wine/wineserver}
if [ ! -x "$wine" ]; then
  echo "wine_prefix.sh: no Wine at $wine (scripts/install_deps.sh installs it)" >&2
  exit 1
fi

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.talvex-ready" ] && exit 0
rm -rf "$prefix"
# No Mono or Gecko: the programs under test need neither, and without them
# the first start does not look for their installers.
WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  "$wine" wineboot -i >/dev/null 2>&1
# The server started for wineboot runs outside the lab's namespace; the
# tests' own start theirs inside it.
WINEPREFIX=$prefix "$wineserver" -w
touch "$prefix/.talvex-ready"
