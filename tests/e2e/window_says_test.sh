#!/usr/bin/env bash
# What the window says, with real clicks and keys: Connect without a type after a failed read,
# Escape in a gain edit of either EQ page, a Save click taken by a check message; every message
# box is checked to be wide enough for its caption (veltra_answer).
# Usage: window_says_test.sh VELTRA_CONFIG
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_lib.sh"
source "$here/veltra_steps.sh"
e2e_init window-says

e2e_start_x 1366 728
e2e_start_app "$1"
e2e_wait_window "$VELTRA_MAIN"

e2e_step failed-read
# The 24C64 device does not answer a 24C02's addressing.
veltra_choose_type S24C02
veltra_type_into CDemoDlg/1016 5A52
veltra_type_into CDemoDlg/1018 7731
e2e_click "$VELTRA_MAIN" CDemoDlg/1017
veltra_answer $'Fail to read EEPROM\n\nThe EEPROM did not answer at 0x0000: is the chosen type right?' OK
e2e_wait_text "$VELTRA_MAIN" CDemoDlg/1244 - || e2e_fail "the type list still shows a type"

e2e_step connect-without-type
e2e_click "$VELTRA_MAIN" CDemoDlg/1017
veltra_answer " EEPROM Size Too Small" OK
veltra_connect

# Escape goes to the edit: the key typed after it lands there too, with no question between.
for page in "PlayBack EQ Config:CEQPage/1115" "Record EQ Config:CRecordEQPage/1193"; do
  e2e_step "escape-in-${page%%:*}"
  veltra_show_page "${page%%:*}"
  veltra_replace_text "${page#*:}" 3
  e2e_key Escape
  e2e_type 5
  e2e_wait_text "$VELTRA_MAIN" "${page#*:}" 35 || e2e_fail "Escape left the gain edit"
  veltra_no_message || e2e_fail "Escape in a gain edit asked: $(e2e_field "$VELTRA_MESSAGE" qt_msgbox_label 12)"
done

e2e_step save-taken-by-a-check
veltra_show_page "USB Config"
veltra_replace_text CUsbCfgPage/1016 0000
e2e_click "$VELTRA_MAIN" CDemoDlg/3
# The second message follows the first at once.
e2e_wait_for veltra_message_is "Can not enter zero" || e2e_fail "no check message"
e2e_click "$VELTRA_MESSAGE" OK
veltra_answer "Save EEPROM did not run. Press Save EEPROM again." OK
e2e_click "$VELTRA_MAIN" CDemoDlg/3
veltra_answer "$VELTRA_SAVE_DONE" OK
e2e_end_step
echo "PASS: what the window says"
