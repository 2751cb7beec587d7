#!/usr/bin/env bash
# Builds the fuzzers with clang (ASan/UBSan + libFuzzer) and runs each of them: the image
# reader on .bin images, the JSON reader on configuration documents.
# Usage: scripts/fuzz.sh [seconds per fuzzer]   (default 30)
set -euo pipefail

seconds="${1:-30}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VELTRA_FUZZ_BUILD_DIR:-$root/build-fuzz}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DVELTRA_FUZZ=ON \
  -DVELTRA_BUILD_GUI=OFF -DVELTRA_BUILD_TESTS=OFF -DVELTRA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target image_reader_fuzzer json_reader_fuzzer -j2

# New inputs go to a scratch corpus; the seeds in the repository stay as they are.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0
# fuzzer, seed folder, longest input, dictionary
for target in "image_reader_fuzzer image 4096 -" "json_reader_fuzzer json 16384 json.dict"; do
  read -r name seeds maxlen dict <<<"$target"
  options=()
  if [ "$dict" != - ]; then options+=(-dict="$root/fuzz/$dict"); fi
  mkdir -p "$work/$name/corpus" "$work/$name/artifacts"
  "$build/fuzz/$name" -max_total_time="$seconds" -max_len="$maxlen" -timeout=10 "${options[@]}" \
    -artifact_prefix="$work/$name/artifacts/" -print_final_stats=1 \
    "$work/$name/corpus" "$root/fuzz/corpus/$seeds" || status=$?
  if compgen -G "$work/$name/artifacts/*" >/dev/null; then
    mkdir -p "$build/fuzz-artifacts/$name"
    cp "$work/$name/artifacts/"* "$build/fuzz-artifacts/$name/"
    echo "$name: crash inputs kept in $build/fuzz-artifacts/$name" >&2
    status=1
  fi
done
exit "$status"
