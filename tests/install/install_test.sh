#!/usr/bin/env bash
# What an administrator gets from `cmake --install` and from the Debian
# package: install_test.sh layout BUILD_DIR | deb BUILD_DIR
#   layout: installs into a scratch DESTDIR with prefix /usr and checks the
#           binary, the manual (man --warnings prints nothing) and the bash
#           completion (completing "-eff" gives "-effective").
#   deb:    builds the package with CPack, installs it with dpkg and runs the
#           installed /usr/bin/talvex: the usage text, and a view of the lab
#           domain's policy. It changes the machine (a package is installed),
#           so it runs only where CI is set or TALVEX_TEST_DEB=1 asks for it.
set -euo pipefail
mode=$1
build=$(cd "$2" && pwd)
top=$(cd "$(dirname "$0")/../.." && pwd)

fail() {
  printf 'FAIL %s\n' "$*" >&2
  exit 1
}

check_usage() {
  local binary=$1 out rc=0
  out=$("$binary" -? 2>&1) || rc=$?
  [ "$rc" = 1 ] || fail "$binary -? exited $rc, expected 1"
  grep -q '^Usage:' <<<"$out" || fail "$binary -? printed no usage text"
}

case $mode in
  layout)
    dest=$(mktemp -d)
    trap 'rm -rf "$dest"' EXIT
    DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null
    for f in usr/bin/talvex usr/share/man/man1/talvex.1 \
      usr/share/bash-completion/completions/talvex; do
      [ -f "$dest/$f" ] || fail "missing $f"
    done
    check_usage "$dest/usr/bin/talvex"
    warnings=$(man --warnings -l "$dest/usr/share/man/man1/talvex.1" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man --warnings: $warnings"
    # Every switch of the usage text is on the manual page.
    for switch in $("$dest/usr/bin/talvex" -? 2>&1 | grep -oE '^ +-[a-z]+' | tr -d ' ' | sort -u); do
      grep -qE -- "\\\\$switch([^a-z]|\$)" "$dest/usr/share/man/man1/talvex.1" ||
        fail "manual page does not describe $switch"
    done
    got=$(bash -c '. "$1"; COMP_WORDS=(talvex -eff); COMP_CWORD=1; _talvex; echo "${COMPREPLY[*]}"' \
      _ "$dest/usr/share/bash-completion/completions/talvex")
    [ "$got" = -effective ] || fail "completing -eff gave '$got'"
    echo "layout ok"
    ;;
  deb)
    if [ -z "${CI:-}" ] && [ "${TALVEX_TEST_DEB:-}" != 1 ]; then
      echo "skipped: installs a package; set TALVEX_TEST_DEB=1 (CI does)"
      exit 77
    fi
    (cd "$build" && cpack -G DEB >/dev/null)
    deb=$(ls -t "$build"/talvex_*.deb | head -n 1)
    depends=$(dpkg-deb -f "$deb" Depends)
    for lib in libldap libsasl2-2 libsasl2-modules-gssapi-mit libkrb5-3; do
      grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
    done
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null ||
      fail "the package did not install"
    [ "$(command -v talvex)" = /usr/bin/talvex ] || fail "talvex not on PATH from /usr/bin"
    check_usage /usr/bin/talvex
    out=$("$top/lab/exec.sh" /usr/bin/talvex -view -dompol 2>&1) ||
      fail "installed talvex could not view the lab's domain policy: $out"
    grep -q 'The command completed successfully.' <<<"$out" || fail "$out"
    echo "deb ok: $(basename "$deb")"
    ;;
  *) fail "unknown mode $mode" ;;
esac
