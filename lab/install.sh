#!/usr/bin/env bash
# Installs the Debian packages the lab needs: lab/install.sh
#
# Idempotent: does nothing when every package is installed already. Runs
# apt-get update only when the package lists are missing or an install from
# the present lists fails.
set -euo pipefail

packages=(
  samba samba-ad-dc samba-ad-provision samba-dsdb-modules winbind
  krb5-user ldap-utils dnsutils iproute2 libsasl2-modules-gssapi-mit
)

[ "$(id -u)" = 0 ] || { echo "lab: ERROR: install.sh must run as root" >&2; exit 1; }

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "lab: packages already installed" >&2
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
apt_install() {
  apt-get install -y -q --no-install-recommends \
    -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold "$@" </dev/null
}

# The packages' own services (smbd, nmbd, winbind, samba-ad-dc on the host)
# must not start: nmbd would broadcast on the host's network. Where the image
# has no policy-rc.d forbidding service starts, one is put in place for the
# install and removed afterwards.
policy=/usr/sbin/policy-rc.d
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' >"$policy"
  chmod 755 "$policy"
  trap 'rm -f "$policy"' EXIT
fi

echo "lab: installing ${missing[*]}" >&2
if ! compgen -G '/var/lib/apt/lists/*_Packages*' >/dev/null; then
  apt-get update -q </dev/null
  apt_install "${missing[@]}"
elif ! apt_install "${missing[@]}"; then
  apt-get update -q </dev/null
  apt_install "${missing[@]}"
fi
echo "lab: packages installed" >&2
