#!/usr/bin/env bash
# Installs everything Talvex needs to build and test on Debian 12 (as root):
# the compiler and libraries, and the lab domain controller's packages.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

packages=(
  cmake g++ make pkg-config libgtest-dev libgmock-dev
  libldap-dev libsasl2-dev libkrb5-dev libsasl2-modules-gssapi-mit
  python3 time man-db groff-base
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
bash "$(dirname "$0")/../lab/install.sh"
