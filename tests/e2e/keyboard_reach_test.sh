#!/usr/bin/env bash
# Every control a person can work with is reachable from the keyboard: on each page of a
# connected window, Tab goes round once and gives the focus to every enabled control that takes
# it (the program's own list of Tab stops), the row of commands and the tabs included.
# Usage: keyboard_reach_test.sh VELTRA_CONFIG
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_lib.sh"
source "$here/veltra_steps.sh"
e2e_init keyboard-reach

# The places of the main window's Tab stops, one a line, with their names after them.
tab_stops() {
  e2e_widgets | awk -F'\t' -v w="$VELTRA_MAIN" \
    '$1 == "widget" && $2 == w && $11 ~ /(^|,)tabstop(,|$)/ { print $5, $6, $7, $8 "\t" $13 "/" $3 }' |
    sort
}

# The place of the control that has the focus, with its name.
focused_place() {
  e2e_widgets | awk -F'\t' -v w="$VELTRA_MAIN" \
    '$1 == "widget" && $2 == w && $11 ~ /(^|,)focus(,|$)/ && $11 ~ /(^|,)tabstop(,|$)/ {
       print $5, $6, $7, $8 "\t" $13 "/" $3; exit
     }'
}

focus_moved_from() {
  [ "$(focused_place)" != "$1" ]
}

# check_page TITLE: Tab round the window on this page.
check_page() {
  local stops reached=() first= place i
  stops=$(tab_stops)
  [ -n "$stops" ] || e2e_fail "no Tab stops on page $1"
  place=$(focused_place)
  for ((i = 0; i < 200; i++)); do
    e2e_key Tab
    e2e_wait_for focus_moved_from "$place" || e2e_fail "Tab did not move the focus from $place"
    place=$(focused_place)
    if [ -z "$first" ]; then
      first=$place
    elif [ "$place" = "$first" ]; then
      break
    fi
    reached+=("$place")
  done
  local missing
  missing=$(comm -23 <(printf '%s\n' "$stops") <(printf '%s\n' "${reached[@]}" | sort -u))
  if [ -n "$missing" ]; then
    echo "not reached by Tab on page $1:" >&2
    echo "$missing" >&2
    e2e_fail "Tab does not reach every control on page $1"
  fi
}

e2e_start_x 1366 728
e2e_start_app "$1"
e2e_wait_window "$VELTRA_MAIN"
e2e_focus_window "$VELTRA_MAIN"

# Connected, so that every box holds a value its check takes when Tab leaves it (an empty
# Product String asks for two characters).
e2e_step connect
veltra_connect
mapfile -t pages < <(veltra_tabs)
[ "${#pages[@]}" -eq 6 ] || e2e_fail "connected, yet ${#pages[@]} pages: ${pages[*]}"
for page in "${pages[@]}"; do
  e2e_step "page-${page//[^A-Za-z0-9]/-}"
  veltra_show_page "$page"
  check_page "$page"
done

# Ctrl+PageDown and Ctrl+PageUp switch pages from a focused slider, as Ctrl+Tab does, and leave
# its gain as it was.
e2e_step ctrl-page-keys-on-a-slider
veltra_show_page "PlayBack EQ Config"
gain=$(e2e_field "$VELTRA_MAIN" CEQPage/1115 12)
e2e_click "$VELTRA_MAIN" CEQPage/1109
e2e_wait_for e2e_focused "$VELTRA_MAIN" CEQPage/1109 || e2e_fail "no focus on the band-1 slider"
for keys in "ctrl+Next:Record EQ Config" "ctrl+Prior:PlayBack EQ Config"; do
  e2e_key "${keys%%:*}"
  e2e_wait_for e2e_tab_current "${keys#*:}" || e2e_fail "${keys%%:*} did not show ${keys#*:}"
done
[ "$(e2e_field "$VELTRA_MAIN" CEQPage/1115 12)" = "$gain" ] ||
  e2e_fail "the page keys changed the band-1 gain to $(e2e_field "$VELTRA_MAIN" CEQPage/1115 12)"
e2e_end_step
echo "PASS: keyboard reach"
