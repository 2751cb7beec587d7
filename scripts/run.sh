#!/usr/bin/env bash
# Builds and starts the tool on the simulated device.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$("$root/scripts/build.sh" | tail -n 1)"
# Without a display veltra-config says so in one line (try xvfb-run, or veltra-cli).
if [ -x "$dir/src/app/veltra-config" ]; then
  exec "$dir/src/app/veltra-config" "$@"
fi
echo "No GUI in this build (Qt 6 missing?): use $dir/src/cli/veltra-cli instead, e.g. 'veltra-cli read --eeprom S24C64' (veltra-cli --help lists the commands)." >&2
exit 1
