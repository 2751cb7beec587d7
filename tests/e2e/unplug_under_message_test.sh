#!/usr/bin/env bash
# The device is unplugged while a page's own message is open: the message that a band's value
# was refused as the focus left its edit, a USB value's, and the MCU page's file dialog. The page
# may go from the page set under the message; answering it must leave the program running, Not
# connected, and connecting again must work.
# Usage: unplug_under_message_test.sh VELTRA_CONFIG
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_lib.sh"
source "$here/veltra_steps.sh"
e2e_init unplug-under-message

PANEL="Simulated device"

e2e_start_x 1920 1080
e2e_start_app "$1" --device-panel
e2e_wait_window "$VELTRA_MAIN"
e2e_wait_window "$PANEL"

# unplug_under PAGE EDIT TEXT MESSAGE: on PAGE, types TEXT into EDIT and presses Tab; while
# MESSAGE is open, Unplug in the panel, then OK.
unplug_under() {
  e2e_step "unplug-under-${2//\//-}"
  veltra_show_page "$1"
  veltra_replace_text "$2" "$3"
  e2e_key Tab
  e2e_wait_for veltra_message_is "$4" || e2e_fail "no message \"$4\" as the focus left $2"
  unplug_and_answer OK
}

# unplug_and_answer BUTTON: Unplug in the panel, then BUTTON in the open message; the program
# runs on, Not connected, and connects again after Plug in.
unplug_and_answer() {
  e2e_click "$PANEL" plugToggle
  e2e_wait_text "$PANEL" plugToggle "Plug in" || e2e_fail "a click on Unplug did nothing"
  e2e_click "*" "$1"
  e2e_wait_for e2e_lacks "*" QMessageBox window
  e2e_app_running || e2e_fail "the program ended: $(tail -n 3 "$E2E_DIR/app.log")"
  veltra_no_message || e2e_fail "a message is still open"
  e2e_wait_text "$VELTRA_MAIN" CDemoDlg/1017 Connect || e2e_fail "still connected after Unplug"
  e2e_click "$PANEL" plugToggle
  e2e_wait_text "$PANEL" plugToggle Unplug || e2e_fail "Plug in did nothing"
  e2e_focus_window "$VELTRA_MAIN"
  e2e_click "$VELTRA_MAIN" CDemoDlg/1017
  e2e_wait_text "$VELTRA_MAIN" CDemoDlg/1017 Stop || e2e_fail "no Connect after Plug in"
}

veltra_connect
unplug_under "PlayBack EQ Config" CEQPage/1118 abc \
  "Central Freq only accept number. Please set Central Freq-2 again"
unplug_under "Record EQ Config" CRecordEQPage/1205 abc \
  "Central Freq only accept number. Please set Central Freq-1 again"
unplug_under "USB Config" CUsbCfgPage/1016 0000 "Can not enter zero"

e2e_step unplug-under-mcu-file-dialog
veltra_show_page "MCU Config"
e2e_checked CMCUPage/1103 || e2e_click "$VELTRA_MAIN" CMCUPage/1103
e2e_click "$VELTRA_MAIN" CMCUPage/1256
e2e_wait_for e2e_has "*" QFileDialog window || e2e_fail "Read MCU File opened no file dialog"
unplug_and_answer Cancel

e2e_step close
veltra_close
echo "PASS: unplug under a message"
