#!/usr/bin/env bash
# Installs everything Talvex needs to build and test on Debian 12 (as root):
# the compiler and libraries, and the lab domain controller's packages.
set -euo pipefail

packages=(
  cmake g++ make pkg-config libgtest-dev libgmock-dev
  libldap-dev libsasl2-dev libkrb5-dev libsasl2-modules-gssapi-mit
  python3 time man-db groff-base
  nlohmann-json3-dev python3-jsonschema jq openssl
)
. "$(dirname "$0")/packages.sh"
install_missing_packages "${packages[@]}"
bash "$(dirname "$0")/../lab/install.sh"
