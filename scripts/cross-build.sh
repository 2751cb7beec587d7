#!/usr/bin/env bash
# Cross-builds the 32-bit Windows tools with MinGW-w64: the core, the Win32 back end,
# veltra-cli.exe and the core tests (GoogleTest from Debian's source package). The GUI needs a
# Windows Qt 6 and is built on Windows (see README). Build directory: build-win32/.
# Usage: scripts/cross-build.sh [extra cmake -D options]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/bootstrap.sh"

dir="$root/build-win32"
# -O2 without debug information: quicker to build and link; GCC 12's -O3 (CMake's Release)
# reports std::string copies as overlapping where they are not.
opts=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" -DCMAKE_BUILD_TYPE=Release
      "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DVELTRA_BUILD_GUI=OFF -DVELTRA_BUILD_BENCH=OFF)
source "$root/scripts/ccache.sh"
opts+=("${ccache_opts[@]}")

cmake -S "$root" -B "$dir" -G Ninja "${opts[@]}" "$@" >&2
cmake --build "$dir" -j "$(nproc)" >&2
echo "$dir"
