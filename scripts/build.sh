#!/usr/bin/env bash
# Configures and builds. Usage: scripts/build.sh [--sanitize] [extra cmake -D options]
# Build directories: build/ (normal), build-asan/ (AddressSanitizer + UBSan).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/bootstrap.sh"

dir="$root/build"
opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
  shift
  dir="$root/build-asan"
  opts=(-DCMAKE_BUILD_TYPE=Debug -DVELTRA_SANITIZE=ON -DVELTRA_BUILD_BENCH=OFF)
fi

source "$root/scripts/ccache.sh"
opts+=("${ccache_opts[@]}")

cmake -S "$root" -B "$dir" -G Ninja "${opts[@]}" "$@" >&2
cmake --build "$dir" -j "$(nproc)" >&2
echo "$dir"
