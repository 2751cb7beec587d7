#!/usr/bin/env bash
# Builds the image reader fuzzer with clang (ASan/UBSan + libFuzzer) and runs it.
# Usage: scripts/fuzz.sh [seconds]   (default 30)
set -euo pipefail

seconds="${1:-30}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VELTRA_FUZZ_BUILD_DIR:-$root/build-fuzz}"
seeds="$root/fuzz/corpus/image"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DVELTRA_FUZZ=ON \
  -DVELTRA_BUILD_GUI=OFF -DVELTRA_BUILD_TESTS=OFF -DVELTRA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target image_reader_fuzzer -j2

# New inputs go to a scratch corpus; the seeds in the repository stay as they are.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/artifacts"
status=0
"$build/fuzz/image_reader_fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$work/corpus" "$seeds" || status=$?
if compgen -G "$work/artifacts/*" >/dev/null; then
  mkdir -p "$build/fuzz-artifacts"
  cp "$work/artifacts/"* "$build/fuzz-artifacts/"
  echo "crash inputs kept in $build/fuzz-artifacts" >&2
  exit 1
fi
exit "$status"
