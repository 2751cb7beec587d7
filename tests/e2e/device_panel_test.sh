#!/usr/bin/env bash
# The simulated device's panel takes real clicks and keys while the main window runs: Unplug
# takes a connected main window back to Not connected, Plug in lets it connect again.
# Usage: device_panel_test.sh VELTRA_CONFIG
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_lib.sh"
source "$here/veltra_steps.sh"
e2e_init device-panel

PANEL="Simulated device"

# windows_apart TITLE TITLE: the two windows do not overlap.
windows_apart() {
  e2e_widgets | awk -F'\t' -v a="$1" -v b="$2" '
    $1 == "window" && ($2 == a || $2 == b) { n++; x[n] = $5; y[n] = $6; r[n] = $5 + $7; d[n] = $6 + $8 }
    END { exit !(n == 2 && (r[1] <= x[2] || r[2] <= x[1] || d[1] <= y[2] || d[2] <= y[1])) }'
}

e2e_start_x 1920 1080
e2e_start_app "$1" --device-panel
e2e_wait_window "$VELTRA_MAIN"
e2e_wait_window "$PANEL"

veltra_connect

# The panel's title shows whole; a page that widens the main window does not slide it under the
# panel, and the plot's long tool tip wraps.
! e2e_field "$PANEL" "$PANEL" 11 window | grep -qw caption-cut || e2e_fail "the panel's title is cut"
veltra_show_page "PlayBack EQ Config"
e2e_wait_for windows_apart "$VELTRA_MAIN" "$PANEL" || e2e_fail "the main window lies under the panel"
read -r x y < <(e2e_centre "$VELTRA_MAIN" bandPlot)
xdotool mousemove "$x" "$y"
e2e_wait_control "*" QTipLabel window
[ "$(e2e_field "*" QTipLabel 7 window)" -le 640 ] ||
  e2e_fail "the plot's tool tip is $(e2e_field "*" QTipLabel 7 window) pixels wide"
xdotool mousemove 0 0

# A click on Unplug.
e2e_text_is "$PANEL" plugToggle Unplug || e2e_fail "the panel does not offer Unplug"
e2e_click "$PANEL" plugToggle
e2e_wait_text "$PANEL" plugToggle "Plug in" || e2e_fail "a click on Unplug did nothing"
e2e_has "$PANEL" Unplugged || e2e_fail "the panel does not say Unplugged"
e2e_wait_text "$VELTRA_MAIN" CDemoDlg/1017 Connect ||
  e2e_fail "the main window stayed connected after Unplug"

# Plug in from the keyboard: the panel's one button has the focus once the panel has it.
e2e_focus_window "$PANEL"
e2e_wait_for e2e_focused "$PANEL" plugToggle || e2e_fail "the panel's button has no focus"
e2e_key space
e2e_wait_text "$PANEL" plugToggle Unplug || e2e_fail "the space key did not plug the device in"

# The device is back: Connect works again, clicked in the main window.
e2e_click "$VELTRA_MAIN" CDemoDlg/1017
e2e_wait_text "$VELTRA_MAIN" CDemoDlg/1017 Stop || e2e_fail "no Connect after Plug in"

# A message box of the main window blocks the main window only: with "Stop the connection
# without further saving ?" waiting, EEPROM -> FILE takes no click, but the panel still unplugs
# and plugs in the device.
e2e_click "$VELTRA_MAIN" CDemoDlg/1017
e2e_wait_for e2e_has "*" QMessageBox window || e2e_fail "Stop asked no question"
e2e_click "$VELTRA_MAIN" CDemoDlg/1160
e2e_click "$PANEL" plugToggle
e2e_wait_text "$PANEL" plugToggle "Plug in" || e2e_fail "the panel took no click behind a message box"
e2e_click "$PANEL" plugToggle
e2e_wait_text "$PANEL" plugToggle Unplug || e2e_fail "the panel took no second click"
e2e_lacks "*" QFileDialog window || e2e_fail "the main window took a click behind its question"
e2e_click "*" Cancel
e2e_wait_for e2e_lacks "*" QMessageBox window || e2e_fail "Cancel did not close the question"

echo "PASS: device panel"
