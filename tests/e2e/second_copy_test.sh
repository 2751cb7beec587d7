#!/usr/bin/env bash
# A second copy started while one runs ends at once, silently: exit code 0, no window, nothing
# on its output, and the first copy goes on taking input. Once the first copy has closed, the
# next one starts normally.
# Usage: second_copy_test.sh VELTRA_CONFIG
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_lib.sh"
source "$here/veltra_steps.sh"
e2e_init second-copy
app=$1

# main_windows: how many main windows the X server shows.
main_windows() {
  xdotool search --onlyvisible --name "^${VELTRA_MAIN}\$" 2>/dev/null | wc -l
}

e2e_step first-copy
e2e_start_x 1366 728
e2e_start_app "$app"
e2e_wait_window "$VELTRA_MAIN"

e2e_step second-copy
second=$E2E_DIR/second
mkdir -p "$second/probe"
status=0
e2e_like_app QT_QPA_PLATFORM=xcb VELTRA_PROBE_DIR="$second/probe" \
  timeout "$E2E_TIMEOUT" "$app" >"$second/output" 2>&1 || status=$?
[ "$status" = 0 ] || e2e_fail "the second copy ended with status $status"
[ ! -s "$second/output" ] || e2e_fail "the second copy said: $(head -c 300 "$second/output")"
[ ! -e "$second/probe/widgets.tsv" ] || e2e_fail "the second copy showed windows"
[ "$(main_windows)" = 1 ] || e2e_fail "$(main_windows) main windows on the screen"

e2e_step first-goes-on
veltra_type_into CDemoDlg/1016 5A52

e2e_step close-first
veltra_close
e2e_end_step

e2e_step next-copy
e2e_start_app "$app"
e2e_wait_window "$VELTRA_MAIN"
e2e_end_step
echo "PASS: second copy"
