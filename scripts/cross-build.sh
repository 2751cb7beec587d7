#!/usr/bin/env bash
# Cross-builds the 32-bit Windows tools with MinGW-w64: the core, the Win32 back end,
# veltra-cli.exe, the core tests (GoogleTest from Debian's source package) and veltra-config.exe
# on a static Windows Qt that scripts/qt-win32.sh builds once from Debian's sources (the first
# time takes a while; VELTRA_WIN32_GUI=0 leaves the GUI out). Build directory: build-win32/.
# Usage: scripts/cross-build.sh [extra cmake -D options]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/bootstrap.sh"

dir="$root/build-win32"
# -O2 without debug information: quicker to build and link; GCC 12's -O3 (CMake's Release)
# reports std::string copies as overlapping where they are not.
opts=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" -DCMAKE_BUILD_TYPE=Release
      "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DVELTRA_BUILD_BENCH=OFF)
if [ "${VELTRA_WIN32_GUI:-1}" = 0 ]; then
  opts+=(-DVELTRA_BUILD_GUI=OFF)
else
  qt="$("$root/scripts/qt-win32.sh" | tail -n 1)"
  # The host's Qt tools (moc, uic, rcc) serve the Windows Qt.
  opts+=(-DVELTRA_BUILD_GUI=ON -DVELTRA_TARGET_QT="$qt" -DQT_HOST_PATH=/usr
         -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)
fi
source "$root/scripts/ccache.sh"
opts+=("${ccache_opts[@]}")

cmake -S "$root" -B "$dir" -G Ninja "${opts[@]}" "$@" >&2
cmake --build "$dir" -j "$(nproc)" >&2
echo "$dir"
