#!/usr/bin/env bash
# Runs a Windows program under Wine as the tests run it:
#   wine_exec.sh PROGRAM.exe [ARGS...]
#
# TALVEX_WINEPREFIX names the test run's prefix (made once by
# wine_prefix.sh). Standard input, output and error stay those of the
# caller, so the program sees the disk file or pipe the caller chose.
#
# When the lab runs, the program runs inside its network namespace (whose
# resolver is the lab's DC) on a computer whose DNS name lies in the lab
# domain: Wine takes the machine's own domain from the host name, and the
# domain-controller locator needs it for a lookup without a domain name.
# The host name is set in a UTS namespace of this run alone. Every Wine
# process of a run starts this way, so the Wine server they share always
# lives inside the lab's namespace.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ $# -gt 0 ] || { echo "usage: wine_exec.sh PROGRAM.exe [ARGS...]" >&2; exit 2; }

export WINEPREFIX=${TALVEX_WINEPREFIX:?TALVEX_WINEPREFIX names the Wine prefix}
export WINEDEBUG=-all
# Arguments arrive as UTF-8; Wine's default locale gives code page 437 as
# the OEM code page that pipes receive.
export LC_ALL=C.UTF-8
wine=${TALVEX_WINE:-/usr/lib/wine/wine64}
wineserver=${TALVEX_WINESERVER:-/usr/lib/wine/wineserver}

lab_env=${LAB_ENV:-${TALVEX_LAB_ENV:-/tmp/talvex-lab/lab.env}}
lab_value() { sed -n "s/^export $1=//p" "$lab_env" 2>/dev/null | tr -d "'\""; }
namespace=$(lab_value LAB_NS)
domain=$(lab_value LAB_DOMAIN)

bash "$here/wine_prefix.sh" "$WINEPREFIX"

if [ -z "$namespace" ] || [ -z "$domain" ] ||
  ! ip netns list 2>/dev/null | awk '{print $1}' | grep -qx "$namespace"; then
  exec "$wine" "$@"
fi
# Runs through lab/exec.sh (Kerberos settings) are in the namespace already.
enter=()
[ -n "$(ip netns identify $$ 2>/dev/null)" ] || enter=(ip netns exec "$namespace")
# The server stays 30 seconds after its last program ends, so that the
# many short runs of a suite do not each start one. A new server's Wine
# system processes (services.exe and the like, which live as long as it)
# start from wineboot here, not from the program: they would keep the
# caller's standard error open, and a caller that reads it to its end
# (ctest) would wait for the server's end too.
exec "${enter[@]}" unshare --uts bash -c '
  hostname "$1"; shift
  if "$0" -p30 </dev/null >/dev/null 2>&1; then
    "$1" wineboot </dev/null >/dev/null 2>&1 || true
  fi
  exec "$@"' "$wineserver" "winclient.$domain" "$wine" "$@"
