#!/usr/bin/env bash
# Cross-builds talvex.exe and the Windows unit-test binary into
# build-windows/ (or $BUILD_DIR) with MinGW-w64, installing the cross
# toolchain and Wine first when they are missing (as root, Debian 12).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${BUILD_DIR:-$here/build-windows}"
export DEBIAN_FRONTEND=noninteractive

packages=(g++-mingw-w64-x86-64-posix wine wine64 googletest cmake ccache)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}"
fi
cmake -S "$here" -B "$build_dir" \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}"
cmake --build "$build_dir" -j"${JOBS:-2}"
