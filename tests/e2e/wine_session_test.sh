#!/usr/bin/env bash
# The Windows program under Wine on the simulated device, with real input: Connect, every page
# shown, a string edited and saved, Refresh shows it and veltra-cli.exe reads the same from the
# EEPROM, and the box draws it; then, closed, it writes a picture of every page with --screenshots.
# Usage: wine_session_test.sh VELTRA_CONFIG_EXE VELTRA_CLI_EXE
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_lib.sh"
source "$here/veltra_steps.sh"
e2e_init wine-session
app=$1
cli=$2

cli() {
  e2e_like_app "$cli" "$@"
}

e2e_step connect
e2e_start_x 1366 728
e2e_start_app "$app"
e2e_wait_window "$VELTRA_MAIN"
veltra_connect
cli export --device --simulated --eeprom S24C64 -o "$E2E_DIR/factory.json" ||
  e2e_fail "veltra-cli.exe cannot export the EEPROM"

e2e_step every-page
mapfile -t pages < <(veltra_tabs)
[ "${#pages[@]}" -eq 6 ] || e2e_fail "connected, yet ${#pages[@]} pages: ${pages[*]}"
for page in "${pages[@]}"; do veltra_show_page "$page"; done
veltra_show_page "USB Config"

e2e_step save
veltra_replace_text CUsbCfgPage/1017 "Wine Audio Labs"
e2e_click "$VELTRA_MAIN" CDemoDlg/3
veltra_answer "$VELTRA_SAVE_DONE" OK

e2e_step refresh
e2e_click "$VELTRA_MAIN" CDemoDlg/5
veltra_answer "All changes before save will be discarded !!!" OK
e2e_wait_text "$VELTRA_MAIN" CDemoDlg/1017 Stop || e2e_fail "Refresh did not connect again"
e2e_wait_text "$VELTRA_MAIN" CUsbCfgPage/1017 "Wine Audio Labs" ||
  e2e_fail "the page does not show the saved manufacturer"
veltra_text_drawn CUsbCfgPage/1017
found=$(cli diff --device --simulated "$E2E_DIR/factory.json" --eeprom S24C64 2>&1) || true
[ "$found" = 'strings.manufacturer.text: "Wine Audio Labs" -> "Veltra Audio"' ] ||
  e2e_fail "veltra-cli.exe reads from the EEPROM: $found"

e2e_step close
veltra_close
e2e_end_step

e2e_step screenshots
shots=$E2E_DIR/shots
mkdir -p "$shots"
e2e_like_app "$app" --simulated --screenshots "$shots" >"$E2E_DIR/shots.log" 2>&1 ||
  e2e_fail "--screenshots failed: $(head -c 300 "$E2E_DIR/shots.log")"
count=0
for picture in "$shots"/*.png; do
  [ -e "$picture" ] || break
  count=$((count + 1))
  # Not one colour: the image's rows, unfiltered by PNG's adaptive filters, vary widely.
  python3 - "$picture" <<'PY' || e2e_fail "$picture is blank"
import sys, zlib
data = open(sys.argv[1], "rb").read()
idat, at = b"", 8
while at < len(data):
    length = int.from_bytes(data[at:at + 4], "big")
    if data[at + 4:at + 8] == b"IDAT":
        idat += data[at + 8:at + 8 + length]
    at += 12 + length
sys.exit(0 if len(set(zlib.decompress(idat))) > 32 else 1)
PY
done
[ "$count" = 6 ] || e2e_fail "--screenshots wrote $count pictures"
echo "PASS: wine session"
