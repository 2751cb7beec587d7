#!/usr/bin/env bash
# One whole Save with the keyboard only, as a person without a mouse does it: Tab to the EEPROM
# TYPE list and pick the type, Tab to VID and PID and type them, Space on Connect, Tab to the
# serial string and type a new one, Space on Save EEPROM, Enter on the message. The EEPROM then
# holds the new serial string (read back with veltra-cli), and after each command the focus is
# back on its button.
# Usage: keyboard_save_test.sh VELTRA_CONFIG VELTRA_CLI
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_lib.sh"
source "$here/veltra_steps.sh"
e2e_init keyboard-save
app=$1
cli=$2

# tab_to KEY: Tab until the control has the focus; fails after a round through far more
# controls than the window has.
tab_to() {
  local i from
  for ((i = 0; i < 80; i++)); do
    if e2e_focused "$VELTRA_MAIN" "$1"; then return 0; fi
    from=$(focused_control)
    e2e_key Tab
    # The next control takes the focus before the next Tab.
    e2e_wait_for focus_moved_from "$from" || e2e_fail "Tab did not move the focus from $from"
  done
  e2e_fail "Tab never reached $1"
}

# The control that has the focus: OWNER/NAME.
focused_control() {
  e2e_widgets | awk -F'\t' -v w="$VELTRA_MAIN" \
    '$1 == "widget" && $2 == w && $11 ~ /(^|,)focus(,|$)/ { print $13 "/" $3; exit }'
}

focus_moved_from() {
  [ "$(focused_control)" != "$1" ]
}

e2e_step start
e2e_start_x 1366 728
e2e_start_app "$app"
e2e_wait_window "$VELTRA_MAIN"
e2e_focus_window "$VELTRA_MAIN"

e2e_step eeprom-type
tab_to CDemoDlg/1244
e2e_key space
e2e_wait_control "*" S24C64 item
e2e_type S24C64
e2e_wait_for e2e_item_current S24C64 || e2e_fail "typing S24C64 did not go to its item"
e2e_key Return
e2e_wait_text "$VELTRA_MAIN" CDemoDlg/1244 S24C64 || e2e_fail "EEPROM TYPE did not take S24C64"

e2e_step vid-pid
tab_to CDemoDlg/1016
e2e_type 5A52
tab_to CDemoDlg/1018
e2e_type 7731
e2e_wait_text "$VELTRA_MAIN" CDemoDlg/1018 7731 || e2e_fail "PID does not show 7731"

e2e_step connect
tab_to CDemoDlg/1017
e2e_key space
e2e_wait_text "$VELTRA_MAIN" CDemoDlg/1017 Stop || e2e_fail "Space on Connect did not connect"
# The focus stays where the command was given, though the window was disabled meanwhile.
e2e_wait_for e2e_focused "$VELTRA_MAIN" CDemoDlg/1017 || e2e_fail "Connect lost the focus"
e2e_like_app "$cli" export --device --eeprom S24C64 -o "$E2E_DIR/before.json" ||
  e2e_fail "veltra-cli cannot export the configuration"

e2e_step serial-string
tab_to CUsbCfgPage/1020
e2e_key ctrl+a
e2e_type KB-0042
e2e_wait_text "$VELTRA_MAIN" CUsbCfgPage/1020 KB-0042 || e2e_fail "the serial string is not KB-0042"

e2e_step save
tab_to CDemoDlg/3
e2e_key space
e2e_wait_for veltra_message_is "$VELTRA_SAVE_DONE" || e2e_fail "Space on Save EEPROM saved nothing"
e2e_wait_for e2e_has "$VELTRA_MESSAGE" OK || e2e_fail "the message has no OK"
e2e_key Return
e2e_wait_for veltra_no_message || e2e_fail "Enter did not close the message"
e2e_focus_back "$VELTRA_MAIN"
e2e_wait_for e2e_enabled "$VELTRA_MAIN" || e2e_fail "the window stayed disabled"
e2e_wait_for e2e_focused "$VELTRA_MAIN" CDemoDlg/3 || e2e_fail "Save EEPROM lost the focus"

e2e_step read-back
found=$(e2e_like_app "$cli" diff --device "$E2E_DIR/before.json" --eeprom S24C64 2>&1) || true
[ "$found" = 'strings.serial.text: "KB-0042" -> "VT7731-0001"' ] ||
  e2e_fail "the EEPROM does not hold the typed serial string: $found"
e2e_end_step
echo "PASS: keyboard save"
