#!/usr/bin/env bash
# Starts veltra-config under Xvfb on a fresh simulated device, connects, and writes a PNG of the
# main window on every page into docs/screenshots/. Usage: scripts/screenshots.sh [extra options]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$("$root/scripts/build.sh" | tail -n 1)"
out="$root/docs/screenshots"

# A private home for the run: a fresh factory image, no settings, no lock of a running copy.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/runtime" "$out"
chmod 700 "$scratch/runtime"

env -u QT_QPA_PLATFORM \
  XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" \
  XDG_STATE_HOME="$scratch/state" XDG_RUNTIME_DIR="$scratch/runtime" \
  xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96" \
  "$dir/src/app/veltra-config" --screenshots "$out" "$@"
