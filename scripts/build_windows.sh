#!/usr/bin/env bash
# Cross-builds talvex.exe and the Windows unit-test binary into
# build-windows/ (or $BUILD_DIR) with MinGW-w64, installing the cross
# toolchain and Wine first when they are missing (as root, Debian 12).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${BUILD_DIR:-$here/build-windows}"

packages=(g++-mingw-w64-x86-64-posix wine wine64 googletest cmake ccache)
. "$here/scripts/packages.sh"
install_missing_packages "${packages[@]}"

if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}"
fi
cmake -S "$here" -B "$build_dir" \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" -DTALVEX_WERROR=ON
cmake --build "$build_dir" -j"${JOBS:-2}"
