#!/usr/bin/env bash
# Makes $WINEPREFIX a fresh Windows user's prefix, with Windows' dialog font. Debian's Wine does
# not load the Tahoma of fonts-wine by itself; without it Qt falls back to a mathematics font
# whose glyph boxes are so tall that a line edit centres its text out of sight.
# Usage: WINEPREFIX=DIR scripts/wine-prefix.sh
set -euo pipefail
env -u DISPLAY wineboot --init >/dev/null 2>&1
# Until the services the boot started have settled and Wine has shut down, its service manager
# answers calls for a service just created or deleted inconsistently.
wineserver -w
cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf \
  "$WINEPREFIX/drive_c/windows/Fonts/"
