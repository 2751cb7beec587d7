#!/usr/bin/env bash
# Builds the fuzzers with clang (ASan/UBSan + libFuzzer) and runs each of them for the given
# time, two at a time (one per core): the image reader and the .bin loader on images, the JSON
# import on configuration documents, veltra-cli's option parser on command lines. A crash keeps
# its input under the build folder and fails the run.
# Usage: scripts/fuzz.sh [seconds per fuzzer]   (default 30)
set -euo pipefail

seconds="${1:-30}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VELTRA_FUZZ_BUILD_DIR:-$root/build-fuzz}"

# fuzzer, seed folder, longest input, dictionary
targets=(
  "image_reader_fuzzer image 4096 -"
  "bin_file_fuzzer image 70000 -"
  "json_reader_fuzzer json 16384 json.dict"
  "cli_options_fuzzer args 512 -"
)

"$root/scripts/bootstrap.sh"
source "$root/scripts/ccache.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DVELTRA_FUZZ=ON \
  -DVELTRA_BUILD_GUI=OFF -DVELTRA_BUILD_TESTS=OFF -DVELTRA_BUILD_BENCH=OFF "${ccache_opts[@]}" >/dev/null
names=()
for target in "${targets[@]}"; do names+=("${target%% *}"); done
cmake --build "$build" --target "${names[@]}" -j2

# New inputs go to a scratch corpus; the seeds in the repository stay as they are.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# run TARGET-LINE: one fuzzer; its output goes to its log, its crash inputs to the build folder.
run() {
  local name seeds maxlen dict options=()
  read -r name seeds maxlen dict <<<"$1"
  if [ "$dict" != - ]; then options+=(-dict="$root/fuzz/$dict"); fi
  mkdir -p "$work/$name/corpus" "$work/$name/artifacts"
  local status=0
  "$build/fuzz/$name" -max_total_time="$seconds" -max_len="$maxlen" -timeout=10 "${options[@]}" \
    -artifact_prefix="$work/$name/artifacts/" -print_final_stats=1 \
    "$work/$name/corpus" "$root/fuzz/corpus/$seeds" >"$work/$name.log" 2>&1 || status=$?
  if compgen -G "$work/$name/artifacts/*" >/dev/null; then
    mkdir -p "$build/fuzz-artifacts/$name"
    cp "$work/$name/artifacts/"* "$build/fuzz-artifacts/$name/"
    echo "$name: crash inputs kept in $build/fuzz-artifacts/$name" >>"$work/$name.log"
    status=1
  fi
  return "$status"
}

# summary NAME: the run's last figures (executions, coverage, features, corpus) in one line.
summary() {
  local log="$work/$1.log"
  local line
  line="$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)"
  local execs
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  echo "$1: ${execs:-?} executions; last: ${line:-none}"
}

status=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pids=()
  for target in "${targets[@]:i:2}"; do
    run "$target" &
    pids+=($!)
  done
  for j in "${!pids[@]}"; do
    name="${names[i + j]}"
    if wait "${pids[j]}"; then
      summary "$name"
    else
      status=1
      echo "$name: FAILED" >&2
      tail -n 40 "$work/$name.log" >&2
    fi
  done
done
exit "$status"
