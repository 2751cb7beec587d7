#!/usr/bin/env bash
# A page wider than the others (a stand-in with the Audio I/O page's template size) widens the
# main window while it is the current page, whole and on the screen, and the window narrows
# again on the next page; the row of commands keeps its place in the window.
# Usage: wide_page_test.sh WIDE_PAGE_STAND_IN
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_lib.sh"
source "$here/veltra_steps.sh"
e2e_init wide-page

# Window size "w h", and a control's place in the window "x y w h".
window_size() {
  e2e_find "$VELTRA_MAIN" "$VELTRA_MAIN" window | cut -f 7,8
}
place_in_window() {
  local window control
  window=$(e2e_find "$VELTRA_MAIN" "$VELTRA_MAIN" window)
  control=$(e2e_find "$VELTRA_MAIN" "$1")
  printf '%s\t%s\n' "$window" "$control" |
    awk -F'\t' '{ print $16 - $5, $17 - $6, $18, $19 }'
}
width_is_more_than() {
  [ "$(window_size | cut -f 1)" -gt "$1" ]
}
size_is() {
  [ "$(window_size)" = "$1" ]
}

e2e_start_x 1366 728
e2e_start_app "$1"
e2e_wait_window "$VELTRA_MAIN"
regular=$(window_size)
row=$(place_in_window CDemoDlg/1017)

veltra_show_page "Audio I/O Config"
e2e_wait_control "$VELTRA_MAIN" farCorner
e2e_wait_for width_is_more_than "${regular%$'\t'*}" ||
  e2e_fail "the wide page did not widen the window ($regular)"
veltra_check_fits "with the wide page"
e2e_click "$VELTRA_MAIN" farCorner
e2e_wait_text "$VELTRA_MAIN" farCorner Reached || e2e_fail "the wide page's far corner took no click"
[ "$(place_in_window CDemoDlg/1017)" = "$row" ] ||
  e2e_fail "the row moved in the window: $(place_in_window CDemoDlg/1017), was $row"

veltra_show_page "MCU Config"
e2e_wait_for size_is "$regular" || e2e_fail "the window kept the wide page's size: $(window_size)"
veltra_check_fits "after the wide page"
echo "PASS: wide page"
