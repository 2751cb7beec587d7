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
# what holds it), with room for its text.
veltra_check_fits() {
  local problems
  problems=$(e2e_widgets | awk -F'\t' -v w="$VELTRA_MAIN" '
    $1 == "screen" { sx = $5; sy = $6; sr = $5 + $7; sb = $6 + $8; next }
    $2 != w { next }
    $1 == "window" || $1 == "widget" || $1 == "tab" {
      if ($5 < sx || $6 < sy || $5 + $7 > sr || $6 + $8 > sb) print "off the screen: " $0
      if ($11 ~ /(^|,)clipped(,|$)/) print "partly hidden: " $0
      if ($11 ~ /(^|,)cut(,|$)/) print "text cut: " $0
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
