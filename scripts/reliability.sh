#!/usr/bin/env bash
# The whole fault matrix and the long soak run, whose figures are in docs/reliability.md.
# Usage: scripts/reliability.sh [matrix|soak|all]   (default all)
# Both drive the real main window on the simulated device, offscreen; they take a while (see the
# document for the time on two cores). Exits non-zero when a run is silent, wrong, hung or
# crashed, or a soak check fails.
set -euo pipefail
what="${1:-all}"
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$("$root/scripts/build.sh" | tail -n 1)"
export QT_QPA_PLATFORM=offscreen
# Every write ends with an fsync of the simulated EEPROM's file: keep the files in memory where
# the machine has a memory file system.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

status=0
if [ "$what" = matrix ] || [ "$what" = all ]; then
  "$dir/tests/app/fault_matrix_runner" --jobs "$(nproc)" || status=1
fi
if [ "$what" = soak ] || [ "$what" = all ]; then
  "$dir/tests/app/soak_runner" --seed 1 --seeds 10 --operations 1000 --part 24C64 || status=1
  "$dir/tests/app/soak_runner" --seed 101 --seeds 10 --operations 1000 --part 24C02 || status=1
fi
exit "$status"
