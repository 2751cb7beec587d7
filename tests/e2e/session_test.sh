#!/usr/bin/env bash
# A whole session on a fresh simulated device, driven only by real clicks, keys and typed text:
# EEPROM type, VID and PID, Connect; a value edited on every page (a string, a volume, an audio
# option, an EQ band and gain on both EQ pages, the MCU file through its file dialog); Save
# EEPROM and Refresh, with every value read back from the EEPROM by veltra-cli; EEPROM -> FILE
# and FILE -> EEPROM through the file dialogs; a Save over veltra-cli's erase, asked about and
# cancelled; Erase, answering its question; unplug and plug in through the device
# panel; Stop; close, answering the exit question. Every message box is found by its title and
# text and answered with a click. A picture of the screen after every step goes into the
# artifacts folder.
# Usage: session_test.sh VELTRA_CONFIG VELTRA_CLI
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_lib.sh"
source "$here/veltra_steps.sh"
e2e_init session
app=$1
cli=$2

PANEL="Simulated device"
EEPROM_FILE=$E2E_DIR/home/.local/share/veltra-config/sim-eeprom-5A52-7731-24C64.bin
TRANSFER_LENGTH=8191

# veltra-cli on the device the GUI works on.
cli() {
  e2e_like_app "$cli" "$@"
}

# check_changes FILE.json EXPECTED: the configuration in the EEPROM differs from the one in the
# document in exactly these fields (veltra-cli diff's lines, "field: EEPROM -> document").
check_changes() {
  local found
  found=$(cli diff --device "$1" --eeprom S24C64 2>&1) || true
  if [ "$found" != "$2" ]; then
    printf 'expected:\n%s\nfound:\n%s\n' "$2" "$found" >&2
    e2e_fail "the EEPROM does not hold what was saved"
  fi
}

# The first transfer length bytes of the EEPROM are those of FILE.
eeprom_holds() {
  cmp -s -n "$TRANSFER_LENGTH" "$EEPROM_FILE" "$1"
}

# An MCU firmware file whose info block (the last 13 bytes) reads chip ID 6530, VID 5A52,
# PID 7731, chip version 0001, FW version 0002 in the file's word order.
firmware=$E2E_DIR/firmware.bin
{
  head -c 51 /dev/zero
  printf '\x65\x30\x5a\x52\x77\x31\x00\x01\x00\x02\xaa\xbb\xcc'
} >"$firmware"

e2e_step start
e2e_start_x 1366 728
e2e_start_app "$app" --device-panel
e2e_wait_window "$VELTRA_MAIN"
e2e_wait_window "$PANEL"

e2e_step eeprom-type
veltra_choose_type S24C64

e2e_step vid-pid
veltra_type_into CDemoDlg/1016 5A52
veltra_type_into CDemoDlg/1018 7731

e2e_step connect
e2e_click "$VELTRA_MAIN" CDemoDlg/1017
e2e_wait_text "$VELTRA_MAIN" CDemoDlg/1017 Stop || e2e_fail "Connect did not connect"
# What the EEPROM held at the start, as the document every later check compares with.
cli export --device --eeprom S24C64 -o "$E2E_DIR/factory.json" ||
  e2e_fail "veltra-cli cannot export the factory configuration"

e2e_step usb-string
veltra_replace_text CUsbCfgPage/1017 "E2E Audio Labs"

e2e_step audio-volume
veltra_show_page "Audio I/O Config"
# The page widens the window under the device panel; a window manager would raise the window
# on the click.
e2e_raise "$VELTRA_MAIN"
veltra_choose CAudioCfgPage/1019 -20

e2e_step audio-option
e2e_click "$VELTRA_MAIN" CAudioCfgPage/1106
e2e_wait_for e2e_checked CAudioCfgPage/1106 || e2e_fail "Enable AGC did not take the click"

e2e_step playback-eq
veltra_show_page "PlayBack EQ Config"
veltra_replace_text CEQPage/1124 1200
e2e_key Tab
veltra_replace_text CEQPage/1120 3.5
e2e_key Return
e2e_wait_for e2e_lacks_focus CEQPage/1120 || e2e_fail "Enter did not leave the band 3 gain"
e2e_wait_text "$VELTRA_MAIN" CEQPage/1120 3.5 || e2e_fail "the band 3 gain did not keep 3.5"

e2e_step record-eq
veltra_show_page "Record EQ Config"
veltra_replace_text CRecordEQPage/1193 -6
e2e_key Return
e2e_wait_text "$VELTRA_MAIN" CRecordEQPage/1193 -6.0 || e2e_fail "the band 1 gain is not -6.0"

e2e_step mcu-file
veltra_show_page "MCU Config"
e2e_click "$VELTRA_MAIN" CMCUPage/1103
e2e_wait_for e2e_checked CMCUPage/1103 || e2e_fail "Enable MCU did not take the click"
e2e_click "$VELTRA_MAIN" CMCUPage/1251
e2e_wait_for e2e_checked CMCUPage/1251 || e2e_fail "Enable Lync Basic HeadSet did not take the click"
e2e_click "$VELTRA_MAIN" CMCUPage/1256
veltra_file_dialog Open "$firmware"
e2e_wait_text "$VELTRA_MAIN" CMCUPage/1257 6530 || e2e_fail "the file's chip ID is not shown"

e2e_step save
e2e_click "$VELTRA_MAIN" CDemoDlg/3
veltra_answer "$VELTRA_SAVE_DONE" OK
e2e_wait_for e2e_enabled "$VELTRA_MAIN" || e2e_fail "the window stayed disabled after Save"

e2e_step refresh
e2e_click "$VELTRA_MAIN" CDemoDlg/5
veltra_answer "All changes before save will be discarded !!!" OK
e2e_wait_for e2e_enabled "$VELTRA_MAIN" || e2e_fail "the window stayed disabled after Refresh"
e2e_wait_text "$VELTRA_MAIN" CDemoDlg/1017 Stop || e2e_fail "Refresh did not connect again"
e2e_wait_text "$VELTRA_MAIN" CUsbCfgPage/1017 "E2E Audio Labs" ||
  e2e_fail "the page does not show the saved manufacturer"
veltra_text_drawn CUsbCfgPage/1017
veltra_show_page "MCU Config"
# The EEPROM group reads the info words the other way round.
e2e_wait_text "$VELTRA_MAIN" CMCUPage/1258 3065 || e2e_fail "the saved firmware's chip ID is not shown"

e2e_step read-back
check_changes "$E2E_DIR/factory.json" "$(
  cat <<'EXPECTED'
header.audio.agc: true -> false
header.mcu.lyncHeadset: true -> false
strings.manufacturer.text: "E2E Audio Labs" -> "Veltra Audio"
audioIo.volumes.playback.initialDb: -20 -> -10
playbackEq.presets.00[2]: 3.5 -> 0.0
playbackEq.bands[2].centreHz: 1200 -> 1000
recordEq.gainsDb[0]: -6.0 -> 0.0
mcu.present: true -> false
mcu.firmware: 64 bytes -> (none)
mcu.info.chipId: "3065" -> (none)
mcu.info.vid: "525A" -> (none)
mcu.info.pid: "3177" -> (none)
mcu.info.chipVersion: "0100" -> (none)
mcu.info.fwVersion: "0200" -> (none)
EXPECTED
)"
cli export --device --eeprom S24C64 -o "$E2E_DIR/saved.json" || e2e_fail "no export after Save"

e2e_step eeprom-to-file
e2e_click "$VELTRA_MAIN" CDemoDlg/1160
veltra_file_dialog "Save As" "$E2E_DIR/dump.bin"
veltra_answer "EEPROM -> File completely" OK
[ "$(stat -c %s "$E2E_DIR/dump.bin")" = "$TRANSFER_LENGTH" ] ||
  e2e_fail "the dump holds $(stat -c %s "$E2E_DIR/dump.bin") bytes"
eeprom_holds "$E2E_DIR/dump.bin" || e2e_fail "the dump differs from the EEPROM"

e2e_step file-to-eeprom
# The factory configuration, packed by veltra-cli.
cli import "$E2E_DIR/factory.json" -o "$E2E_DIR/factory.bin" --eeprom S24C64 ||
  e2e_fail "veltra-cli cannot pack the factory configuration"
e2e_click "$VELTRA_MAIN" CDemoDlg/1161
veltra_file_dialog Open "$E2E_DIR/factory.bin"
veltra_answer "$VELTRA_LOAD_DONE" OK
eeprom_holds "$E2E_DIR/factory.bin" || e2e_fail "the EEPROM does not hold the loaded file"
check_changes "$E2E_DIR/factory.json" ""

e2e_step save-over-another-tool
# veltra-cli erases while the window is connected: Save asks before writing over the loaded file,
# then before writing over that.
cli erase --yes --eeprom S24C64 || e2e_fail "veltra-cli cannot erase"
e2e_click "$VELTRA_MAIN" CDemoDlg/3
veltra_answer_before "The EEPROM holds the file written by FILE -> EEPROM, not what this window read. Save over it?" OK
veltra_answer "$VELTRA_CHANGED_QUESTION" Cancel
cmp -s -n "$TRANSFER_LENGTH" "$EEPROM_FILE" /dev/zero ||
  e2e_fail "a cancelled Save changed the EEPROM"

e2e_step erase
e2e_click "$VELTRA_MAIN" CDemoDlg/4
veltra_answer_before "$VELTRA_ERASE_QUESTION" OK
veltra_answer "$VELTRA_ERASE_DONE" OK
cmp -s -n "$TRANSFER_LENGTH" "$EEPROM_FILE" /dev/zero || e2e_fail "the EEPROM is not erased"

e2e_step unplug
e2e_raise "$PANEL"
e2e_click "$PANEL" plugToggle
e2e_wait_text "$PANEL" plugToggle "Plug in" || e2e_fail "a click on Unplug did nothing"
e2e_wait_text "$VELTRA_MAIN" CDemoDlg/1017 Connect ||
  e2e_fail "the main window stayed connected after Unplug"
veltra_no_message || e2e_fail "unplugging showed a message"

e2e_step plug-in
e2e_click "$PANEL" plugToggle
e2e_wait_text "$PANEL" plugToggle Unplug || e2e_fail "a click on Plug in did nothing"
e2e_click "$VELTRA_MAIN" CDemoDlg/1017
# The erased EEPROM holds no image: the pages show their defaults.
veltra_answer "EEPROM Empty" OK
e2e_wait_text "$VELTRA_MAIN" CDemoDlg/1017 Stop || e2e_fail "no Connect after Plug in"

e2e_step stop
e2e_click "$VELTRA_MAIN" CDemoDlg/1017
veltra_answer "Stop the connection without further saving ?" OK
e2e_wait_text "$VELTRA_MAIN" CDemoDlg/1017 Connect || e2e_fail "Stop left the window connected"

e2e_step close
# Escape is the dialog's close request, as the title bar's close button is.
e2e_focus_window "$VELTRA_MAIN"
e2e_key Escape
e2e_wait_for veltra_message_is "Exit the configuration tool without further saving ?" ||
  e2e_fail "closing asked no question"
e2e_grab "$E2E_STEP" >/dev/null
e2e_click "$VELTRA_MESSAGE" OK
e2e_wait_exit
[ "$E2E_APP_STATUS" = 0 ] || e2e_fail "the program ended with status $E2E_APP_STATUS"
e2e_end_step
echo "PASS: session"
