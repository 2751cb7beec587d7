#!/usr/bin/env bash
# Starts veltra-config under Xvfb on a fresh simulated device, connects, and writes a PNG of the
# main window on every page into docs/screenshots/; with --windows, veltra-config.exe under Wine
# (scripts/cross-build.sh builds it) into docs/screenshots/windows/.
# Usage: scripts/screenshots.sh [--windows] [extra options]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
windows=0
if [ "${1:-}" = --windows ]; then
  windows=1
  shift
fi

# A private home for the run: a fresh factory image, no settings, no lock of a running copy.
scratch="$(mktemp -d)"
cleanup() {
  [ "$windows" = 0 ] || wineserver -k >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT
mkdir -p "$scratch/runtime"
chmod 700 "$scratch/runtime"
screen=(-a -s "-screen 0 1600x1200x24 -dpi 96")

if [ "$windows" = 1 ]; then
  dir="$("$root/scripts/cross-build.sh" | tail -n 1)"
  out="$root/docs/screenshots/windows"
  mkdir -p "$out"
  # A fresh Wine prefix is the fresh Windows user: its own simulated EEPROM and registry. The
  # folder's Unix path is one on Wine's drive Z:, the current drive.
  export WINEPREFIX="$scratch/wine" WINEARCH=win32 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  "$root/scripts/wine-prefix.sh"
  env -u QT_QPA_PLATFORM xvfb-run "${screen[@]}" \
    wine "$dir/src/app/veltra-config.exe" --simulated --screenshots "$out" "$@"
  exit
fi

dir="$("$root/scripts/build.sh" | tail -n 1)"
out="$root/docs/screenshots"
mkdir -p "$out"
env -u QT_QPA_PLATFORM \
  XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" \
  XDG_STATE_HOME="$scratch/state" XDG_RUNTIME_DIR="$scratch/runtime" \
  VELTRA_CONFIG_INSTANCE=screenshots \
  xvfb-run "${screen[@]}" \
  "$dir/src/app/veltra-config" --screenshots "$out" "$@"
