# Steps through veltra-config's main window with real input, for the end-to-end tests. Source
# after e2e_lib.sh.

VELTRA_MAIN="Veltra Configuration"

# veltra_choose_type NAME: opens the EEPROM TYPE list with a click and clicks the item.
veltra_choose_type() {
  e2e_click "$VELTRA_MAIN" CDemoDlg/1244
  e2e_wait_control "*" "$1" item
  e2e_click "*" "$1" item
  e2e_wait_text "$VELTRA_MAIN" CDemoDlg/1244 "$1" || e2e_fail "EEPROM TYPE did not take $1"
}

# veltra_type_into KEY TEXT: clicks into the box and types the text.
veltra_type_into() {
  e2e_click "$VELTRA_MAIN" "$1"
  e2e_wait_for e2e_focused "$VELTRA_MAIN" "$1" || e2e_fail "no focus in $1 after a click"
  e2e_type "$2"
  e2e_wait_text "$VELTRA_MAIN" "$1" "$2" || e2e_fail "$1 does not show the typed $2"
}

e2e_focused() {
  e2e_field "$1" "$2" 11 | grep -qw focus
}

# veltra_connect [TYPE]: EEPROM TYPE, VID 5A52, PID 7731 and Connect, all clicked and typed;
# waits until the window is connected.
veltra_connect() {
  veltra_choose_type "${1:-S24C64}"
  veltra_type_into CDemoDlg/1016 5A52
  veltra_type_into CDemoDlg/1018 7731
  e2e_click "$VELTRA_MAIN" CDemoDlg/1017
  e2e_wait_text "$VELTRA_MAIN" CDemoDlg/1017 Stop || e2e_fail "Connect did not connect"
}

# veltra_check_fits WHERE: the main window lies on the screen's available area, and every
# control that shows in it lies whole inside the window (nothing partly covered by the edge of
# what holds it), with room for its text, nothing lying over it where a click aims, and neither
# on a group box's frame line nor on its title.
veltra_check_fits() {
  local problems
  problems=$(e2e_widgets | awk -F'\t' -v w="$VELTRA_MAIN" '
    $1 == "screen" { sx = $5; sy = $6; sr = $5 + $7; sb = $6 + $8; next }
    $2 != w { next }
    $1 == "window" || $1 == "widget" || $1 == "tab" {
      if ($5 < sx || $6 < sy || $5 + $7 > sr || $6 + $8 > sb) print "off the screen: " $0
      if ($11 ~ /(^|,)clipped(,|$)/) print "partly hidden: " $0
      if ($11 ~ /(^|,)cut(,|$)/) print "text cut: " $0
      if ($11 ~ /(^|,)covered(,|$)/) print "covered: " $0
      if ($11 ~ /(^|,)frame(,|$)/) print "on a group frame line or title: " $0
    }')
  if [ -n "$problems" ]; then
    echo "$problems" >&2
    e2e_fail "the window does not fit $1"
  fi
}

# veltra_tabs: the page set's tab titles, one a line.
veltra_tabs() {
  e2e_widgets | awk -F'\t' -v w="$VELTRA_MAIN" '$1 == "tab" && $2 == w { print $12 }'
}

# veltra_show_page TITLE: clicks the page's tab.
veltra_show_page() {
  e2e_click "$VELTRA_MAIN" "$1" tab
  e2e_wait_for e2e_tab_current "$1" || e2e_fail "a click on tab $1 did not show it"
}

e2e_tab_current() {
  e2e_field "$VELTRA_MAIN" "$1" 11 tab | grep -qw current
}

# Every message box of the tool carries the application's name as its title.
VELTRA_MESSAGE="veltra-config"

# veltra_message_is TEXT: a message box with this text is open (line breaks as blanks).
veltra_message_is() {
  e2e_has "$VELTRA_MESSAGE" QMessageBox window &&
    e2e_text_is "$VELTRA_MESSAGE" qt_msgbox_label "${1//$'\n'/ }"
}

# veltra_answer TEXT BUTTON: waits for the message box with this text, checks that it is wide
# enough for its caption, and clicks its button.
veltra_answer() {
  e2e_wait_for veltra_message_is "$1" ||
    e2e_fail "no message \"$1\"; shown: $(e2e_field "$VELTRA_MESSAGE" qt_msgbox_label 12)"
  if e2e_field "$VELTRA_MESSAGE" QMessageBox 11 window | grep -qw caption-cut; then
    e2e_fail "the message \"$1\" is too narrow for its caption"
  fi
  e2e_click "$VELTRA_MESSAGE" "$2"
  e2e_wait_for veltra_no_message || e2e_fail "\"$2\" did not close the message \"$1\""
  e2e_focus_back "$VELTRA_MAIN"
}

# veltra_answer_before TEXT BUTTON: as veltra_answer, for a question the operation's own message
# follows at once: waits only until the box no longer shows this text.
veltra_answer_before() {
  e2e_wait_for veltra_message_is "$1" ||
    e2e_fail "no message \"$1\"; shown: $(e2e_field "$VELTRA_MESSAGE" qt_msgbox_label 12)"
  e2e_click "$VELTRA_MESSAGE" "$2"
  e2e_wait_for veltra_message_is_not "$1" || e2e_fail "\"$2\" did not close the message \"$1\""
}

veltra_message_is_not() {
  ! veltra_message_is "$1"
}

veltra_no_message() {
  e2e_lacks "$VELTRA_MESSAGE" QMessageBox window
}

# veltra_replace_text KEY TEXT: clicks into the box, selects what it holds and types the text.
veltra_replace_text() {
  e2e_click "$VELTRA_MAIN" "$1"
  e2e_wait_for e2e_focused "$VELTRA_MAIN" "$1" || e2e_fail "no focus in $1 after a click"
  e2e_key ctrl+a
  e2e_type "$2"
  e2e_wait_text "$VELTRA_MAIN" "$1" "$2" || e2e_fail "$1 does not show the typed $2"
}

# veltra_text_drawn KEY: the box's text is on the screen, not only held by the box: a picture of
# the screen has dark pixels inside the box's frame, where only its text is dark.
veltra_text_drawn() {
  local place picture
  place=$(e2e_find "$VELTRA_MAIN" "$1" | cut -f 5-8)
  [ -n "$place" ] || e2e_fail "no $1 to look at"
  picture=$(e2e_grab "text-${1//\//-}" ppm) || e2e_fail "no picture of the screen"
  # shellcheck disable=SC2086 # the place is four numbers
  python3 - "$picture" $place <<'PY' || e2e_fail "$1 holds its text but does not draw it"
import re, sys
x, y, w, h = map(int, sys.argv[2:])
data = open(sys.argv[1], "rb").read()
header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
width, pixels = int(header[1]), data[header.end():]
dark = 0
for row in range(y + 4, y + h - 4):
    at = (row * width + x + 4) * 3
    line = pixels[at:at + (w - 8) * 3]
    dark += sum(sum(line[i:i + 3]) < 3 * 96 for i in range(0, len(line), 3))
sys.exit(0 if dark >= 8 else 1)
PY
}

# veltra_close: Escape, the dialog's close request as the title bar's close button is, and OK
# to the question; waits until the program has ended.
veltra_close() {
  e2e_focus_window "$VELTRA_MAIN"
  e2e_key Escape
  e2e_wait_for veltra_message_is "Exit the configuration tool without further saving ?" ||
    e2e_fail "closing asked no question"
  e2e_click "$VELTRA_MESSAGE" OK
  e2e_wait_exit
}

# veltra_choose KEY TEXT: opens the list with a click, scrolls it with the wheel until the item
# shows and clicks the item.
veltra_choose() {
  e2e_click "$VELTRA_MAIN" "$1"
  e2e_wait_control "*" "$2" item
  local i line
  for ((i = 0; i < 40; i++)); do
    line=$(e2e_find "*" "$2" item)
    if ! cut -f 11 <<<"$line" | grep -qw hidden; then
      e2e_click "*" "$2" item
      e2e_wait_text "$VELTRA_MAIN" "$1" "$2" || e2e_fail "$1 did not take $2"
      return 0
    fi
    veltra_scroll_list_towards "$line"
  done
  e2e_fail "item $2 of $1 never came into view"
}

# veltra_scroll_list_towards ITEM_LINE: one turn of the wheel over the open list, up or down.
veltra_scroll_list_towards() {
  local list x y button
  list=$(e2e_widgets | awk -F'\t' '$1 == "widget" && $4 == "QComboBoxListView" { print; exit }')
  [ -n "$list" ] || e2e_fail "no open list to scroll"
  read -r x y < <(awk -F'\t' '{ printf "%d %d\n", $5 + $7 / 2, $6 + $8 / 2 }' <<<"$list")
  button=5
  [ "$(cut -f 6 <<<"$1")" -ge "$y" ] || button=4
  xdotool mousemove "$x" "$y" click "$button"
  e2e_wait_for e2e_item_moved "$1" || true
}

e2e_item_moved() {
  [ "$(e2e_find "*" "$(cut -f 12 <<<"$1")" item | cut -f 5-8)" != "$(cut -f 5-8 <<<"$1")" ]
}

# veltra_file_dialog TITLE PATH: in the file dialog ("Save As", "Open"), types the path into the
# file name box and presses Enter; waits until the dialog has closed.
veltra_file_dialog() {
  e2e_wait_for e2e_has "$1" QFileDialog window || e2e_fail "no file dialog \"$1\""
  if ! e2e_focused "$1" fileNameEdit; then e2e_click "$1" fileNameEdit; fi
  e2e_wait_for e2e_focused "$1" fileNameEdit || e2e_fail "no focus in the file name box"
  e2e_key ctrl+a
  e2e_type "$2"
  e2e_wait_text "$1" fileNameEdit "$2" || e2e_fail "the file name box does not show $2"
  e2e_key Return
  e2e_wait_for e2e_lacks "$1" QFileDialog window || e2e_fail "the file dialog stayed open"
}

# A file dialog is open: Qt's own, or the system's, which the program does not describe (a
# Windows program's are the native ones).
veltra_file_dialog_open() {
  e2e_has "*" QFileDialog window ||
    xdotool search --onlyvisible --name '^(Open|Save As)$' >/dev/null 2>&1
}

# The texts of the operations' results.
VELTRA_SAVE_DONE=$'Save into EEPROM completely.\n\nPlease un-plug and re-plug the USB device for the changes to take effect !!!'
VELTRA_LOAD_DONE=$'File -> EEPROM completely.\n\nPlease un-plug and re-plug the USB device for the changes to take effect !!!'
VELTRA_ERASE_DONE=$'Erase EEPROM completely.\n\nPlease un-plug and re-plug the USB device for the changes to take effect !!!'
# The questions before Erase, and before a Save over another program's change.
VELTRA_ERASE_QUESTION="Erase the whole EEPROM ? Its contents will be lost !!!"
VELTRA_CHANGED_QUESTION="The EEPROM was changed by another program since it was read. Save over it?"

e2e_checked() {
  e2e_field "$VELTRA_MAIN" "$1" 11 | grep -qw checked
}

e2e_lacks_focus() {
  ! e2e_focused "$VELTRA_MAIN" "$1"
}

# The open list's current item is TEXT.
e2e_item_current() {
  e2e_field "*" "$1" 11 item | grep -qw current
}
