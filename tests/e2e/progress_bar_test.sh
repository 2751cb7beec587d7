#!/usr/bin/env bash
# A Save of a whole 24C512 at 1 ms per request, as a person sees it: the progress window keeps
# "Please Wait...." and its bar moves while the Save runs, with the time left once it is known.
# Usage: progress_bar_test.sh VELTRA_CONFIG
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_lib.sh"
source "$here/veltra_steps.sh"
e2e_init progress-bar

# The bar's place, out of its maximum, as the window describes it ("412/1000 41%, ...").
bar_value() {
  e2e_field "$VELTRA_MAIN" CProgress/progressBar 12 | cut -d/ -f1
}
bar_shows() {
  e2e_field "$VELTRA_MAIN" CProgress/progressBar 12 | grep -q "$1"
}
bar_beyond() {
  local value
  value=$(bar_value)
  [ -n "$value" ] && [ "$value" -gt "$1" ]
}

e2e_step start
e2e_start_x 1366 728
e2e_start_app "$1" --eeprom S24C512 --latency 1
e2e_wait_window "$VELTRA_MAIN"
veltra_connect S24C512

e2e_step save
e2e_click "$VELTRA_MAIN" CDemoDlg/3
e2e_wait_for bar_beyond 0 || e2e_fail "the bar did not start moving"
e2e_text_is "$VELTRA_MAIN" CProgress/text "Please Wait...." ||
  e2e_fail "the progress window lost its text"
first=$(bar_value)
e2e_wait_for bar_beyond "$first" || e2e_fail "the bar stood at $first"
e2e_wait_for bar_shows "s left" ||
  e2e_fail "no time left shown: $(e2e_field "$VELTRA_MAIN" CProgress/progressBar 12)"
e2e_end_step
echo "PASS: the bar moved from $first to $(bar_value) of 1000"
