#!/usr/bin/env bash
# Configures and builds talvex and its tests into build/ (or $BUILD_DIR).
# Arguments go to CMake's configure step (such as -DTALVEX_WINDOWS_TESTS=ON).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVEX_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
