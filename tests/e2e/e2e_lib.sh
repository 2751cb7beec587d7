# End-to-end test harness: a private X server (Xvfb), the program under test with its own XDG
# folders, and real input events through xdotool. Source it from a test script:
#
#   source "$(dirname "$0")/e2e_lib.sh"
#   e2e_init device-panel            # scratch folder, clean-up on exit
#   e2e_start_x 1366 728             # Xvfb on a free display; optional third argument: scale
#   e2e_start_app "$VELTRA_CONFIG" --device-panel
#   e2e_wait_window "Veltra Configuration"
#   e2e_click "Veltra Configuration" 1017
#   e2e_wait_text "Veltra Configuration" 1017 Stop || e2e_fail "did not connect"
#
# Controls are found through the program's own description of its windows (VELTRA_PROBE_DIR,
# see src/app/widget_probe.h): a control is named by its window's title and its object name or
# text. On failure e2e_fail saves a picture of the screen and the description into
# $E2E_ARTIFACTS (default: a folder beside the scratch folder, named in the message), which holds
# only the files of the last run. A test made of steps (e2e_step) leaves a picture of the screen
# after every step there, and a failure names its step.
#
# The X server runs without a window manager: nothing raises or focuses a window on a click.
# Where a person's window manager would, the tests say so (e2e_raise, e2e_focus_window).
#
# Processes are ended by their own ids only.
#
# A Windows program (a path ending in .exe, cross-built) runs under Wine when E2E_WINE_TEMPLATE
# names a Wine prefix to start from: each test gets a copy of it, and $E2E_EXE_ARGS go before
# the program's arguments (--simulated: Wine has no vendor driver). A scale runs it as Windows
# scales a screen, at that many dots per inch.

set -euo pipefail

E2E_TIMEOUT=${E2E_TIMEOUT:-10}
E2E_SCALE=1
E2E_PIDS=()
E2E_STEP=
E2E_STEP_COUNT=0

e2e_init() {
  E2E_NAME=$1
  E2E_DIR=$(mktemp -d "${TMPDIR:-/tmp}/veltra-e2e-$E2E_NAME.XXXXXX")
  E2E_PROBE=$E2E_DIR/probe
  E2E_ARTIFACTS=${E2E_ARTIFACTS:-${TMPDIR:-/tmp}/veltra-e2e-artifacts}/$E2E_NAME
  rm -rf "$E2E_ARTIFACTS"
  mkdir -p "$E2E_PROBE" "$E2E_DIR/home" "$E2E_DIR/runtime" "$E2E_ARTIFACTS"
  chmod 700 "$E2E_DIR/runtime"
  # The program's private home and XDG folders; e2e_like_app runs other programs with them.
  E2E_ENV=(HOME="$E2E_DIR/home"
    XDG_CONFIG_HOME="$E2E_DIR/home/.config" XDG_DATA_HOME="$E2E_DIR/home/.local/share"
    XDG_STATE_HOME="$E2E_DIR/home/.local/state" XDG_CACHE_HOME="$E2E_DIR/home/.cache"
    XDG_RUNTIME_DIR="$E2E_DIR/runtime" VELTRA_CONFIG_INSTANCE="$E2E_NAME")
  if [ -n "${E2E_WINE_TEMPLATE:-}" ]; then
    # Linked, not copied: Wine replaces its registry files rather than writing into them.
    cp -al "$E2E_WINE_TEMPLATE" "$E2E_DIR/wine"
    local reg
    for reg in "$E2E_DIR"/wine/*.reg; do cp --remove-destination "$E2E_WINE_TEMPLATE/${reg##*/}" "$reg"; done
    E2E_ENV+=(WINEPREFIX="$E2E_DIR/wine")
  fi
  trap e2e_cleanup EXIT
  for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "e2e: $tool is missing (scripts/bootstrap.sh installs it)" >&2; exit 1; }
  done
}

e2e_cleanup() {
  local status=$?
  local pid
  for pid in "${E2E_PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${E2E_PIDS[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  # Wine's server and desktop outlive the program: they end with the test's own prefix.
  [ ! -d "$E2E_DIR/wine" ] || env WINEPREFIX="$E2E_DIR/wine" wineserver -k 2>/dev/null || true
  rm -rf "$E2E_DIR"
  exit "$status"
}

# e2e_start_x WIDTH HEIGHT [SCALE]: a screen of WIDTH x HEIGHT logical pixels, all of it
# available; with SCALE 2 (or 1.5) the X screen has twice (one and a half times) as many device
# pixels and the program under test runs at 200 % (150 %).
e2e_start_x() {
  local width=$1 height=$2 scale=${3:-1}
  E2E_SCALE=$scale
  local displayfile=$E2E_DIR/display
  : >"$displayfile"
  local size
  size=$(awk -v w="$width" -v h="$height" -v s="$scale" 'BEGIN { printf "%dx%d", w * s, h * s }')
  # No key repeats: on a busy machine a key may seem held between its press and its release.
  Xvfb -displayfd 3 -screen 0 "${size}x24" -dpi 96 \
    -nolisten tcp -noreset -r 3>"$displayfile" >"$E2E_DIR/xvfb.log" 2>&1 &
  E2E_PIDS+=($!)
  local i
  for ((i = 0; i < E2E_TIMEOUT * 20; i++)); do
    if [ -s "$displayfile" ]; then
      export DISPLAY=":$(head -n 1 "$displayfile")"
      return 0
    fi
    sleep 0.05
  done
  cat "$E2E_DIR/xvfb.log" >&2
  e2e_fail "Xvfb did not start"
}

# e2e_start_app PROGRAM [ARGUMENTS...]: the program on the test's X server, with a private home,
# XDG folders and probe folder; its output goes to $E2E_DIR/app.log.
e2e_start_app() {
  local -a scaling=() platform=(QT_QPA_PLATFORM=xcb) run=("$@")
  if [ "$E2E_SCALE" != 1 ]; then scaling=(QT_SCALE_FACTOR="$E2E_SCALE"); fi
  if e2e_under_wine "$1"; then
    # The Windows toolkit has its own platform and takes the scale from the system.
    platform=() scaling=() run=(wine "$1" ${E2E_EXE_ARGS:-} "${@:2}")
    if [ "$E2E_SCALE" != 1 ]; then
      e2e_like_app wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
        /d "$(awk -v s="$E2E_SCALE" 'BEGIN { printf "%d", 96 * s }')" /f >/dev/null 2>&1
    fi
  fi
  env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u QT_SCALE_FACTOR -u QT_SCREEN_SCALE_FACTORS \
    -u QT_FONT_DPI -u QT_ENABLE_HIGHDPI_SCALING -u QT_STYLE_OVERRIDE \
    "${E2E_ENV[@]}" "${platform[@]}" \
    "${scaling[@]}" VELTRA_PROBE_DIR="$E2E_PROBE" \
    "${run[@]}" >"$E2E_DIR/app.log" 2>&1 &
  E2E_APP_PID=$!
  E2E_PIDS+=("$E2E_APP_PID")
}

# e2e_like_app PROGRAM [ARGUMENTS...]: runs a program to its end with the home and XDG folders of
# the program under test, so that it finds the same files (veltra-cli: the same EEPROM).
e2e_like_app() {
  local -a run=()
  local arg
  for arg in "$@"; do
    if [ -n "${E2E_WINE_TEMPLATE:-}" ]; then
      # The Windows toolkit has no X platform to choose.
      [[ $arg != QT_QPA_PLATFORM=* ]] || continue
      [[ $arg != *.exe ]] || run+=(wine)
    fi
    run+=("$arg")
  done
  env "${E2E_ENV[@]}" "${run[@]}"
}

# e2e_under_wine PROGRAM: whether the program is a Windows one that the test runs under Wine.
e2e_under_wine() {
  [ -n "${E2E_WINE_TEMPLATE:-}" ] && [[ $1 == *.exe ]]
}

# True while the program under test runs.
e2e_app_running() {
  kill -0 "$E2E_APP_PID" 2>/dev/null
}

# e2e_wait_exit: waits until the program has ended; its exit status in E2E_APP_STATUS.
e2e_wait_exit() {
  local i
  for ((i = 0; i < E2E_TIMEOUT * 20; i++)); do
    if ! e2e_app_running; then
      E2E_APP_STATUS=0
      wait "$E2E_APP_PID" || E2E_APP_STATUS=$?
      return 0
    fi
    sleep 0.05
  done
  e2e_fail "the program did not end"
}

# The program's current description of its windows.
e2e_widgets() {
  cat "$E2E_PROBE/widgets.tsv" 2>/dev/null || true
}

# e2e_find WINDOW KEY [KIND]: the description line of the control named KEY (object name or
# text, or OWNER/NAME where two controls share a name) in the window titled WINDOW ("*": any
# window); KIND widget (default), tab, item or window (KEY: the title again, or the class).
e2e_find() {
  local window=$1 key=$2 kind=${3:-widget}
  [ -f "$E2E_PROBE/widgets.tsv" ] || return 0
  awk -F'\t' -v w="$window" -v k="$key" -v kind="$kind" \
    '$1 == kind && (w == "*" || $2 == w) &&
     ($3 == k || $12 == k || $13 "/" $3 == k || (kind == "window" && ($2 == k || $4 == k))) {
       print; exit
     }' "$E2E_PROBE/widgets.tsv"
}

# e2e_field WINDOW KEY COLUMN [KIND]: one column of that line (5-8 place, 10 enabled, 11 state,
# 12 text).
e2e_field() {
  e2e_find "$1" "$2" "${4:-widget}" | cut -f "$3"
}

# e2e_wait_for COMMAND...: runs the command until it succeeds or the time is up.
e2e_wait_for() {
  local i
  for ((i = 0; i < E2E_TIMEOUT * 20; i++)); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    e2e_app_running || return 1
    sleep 0.05
  done
  return 1
}

e2e_has() {
  [ -n "$(e2e_find "$@")" ]
}

e2e_lacks() {
  [ -z "$(e2e_find "$@")" ]
}

e2e_text_is() {
  [ "$(e2e_field "$1" "$2" 12 "${4:-widget}")" = "$3" ]
}

# e2e_wait_window TITLE: until the window is on the screen (the X server's view, through
# xdotool) and described by the program.
e2e_wait_window() {
  local title=$1
  e2e_wait_for xdotool search --onlyvisible --name "^${title}\$" ||
    e2e_fail "no window \"$title\" on the screen"
  e2e_wait_for e2e_has "$title" "$title" window || e2e_fail "window \"$title\" not described"
}

# e2e_wait_control WINDOW KEY [KIND]: until the control is there.
e2e_wait_control() {
  e2e_wait_for e2e_has "$@" || e2e_fail "no control \"$2\" in \"$1\""
}

# e2e_wait_text WINDOW KEY TEXT [KIND]: until the control shows TEXT; false after the time-out.
e2e_wait_text() {
  e2e_wait_for e2e_text_is "$@"
}

# e2e_centre WINDOW KEY [KIND]: where a person clicks the control, in device pixels, "x y": its
# middle, or for a check box its box at the left end (the room right of its text takes no click).
e2e_centre() {
  local line
  line=$(e2e_find "$@")
  [ -n "$line" ] || e2e_fail "no control \"$2\" in \"$1\""
  awk -F'\t' '{
    x = $5 + $7 / 2
    if ($1 == "widget" && ($4 == "QCheckBox" || $4 == "QRadioButton")) x = $5 + $8 / 2
    printf "%d %d\n", x, $6 + $8 / 2
  }' <<<"$line"
}

# e2e_click WINDOW KEY [KIND]: a real press and release of the left button on the control. Fails
# when another window covers the control there: the click would reach that window instead.
e2e_click() {
  e2e_wait_control "$@"
  local x y
  read -r x y < <(e2e_centre "$@")
  # The server handles the move before the press; waiting for the move (--sync) can stall when
  # the pointer is already there.
  xdotool mousemove "$x" "$y"
  e2e_check_on_top "$1" "$x" "$y" "$2"
  xdotool click 1
}

# e2e_check_on_top TITLE X Y WHAT: the window titled TITLE is the one at X Y ("*" or "-": any).
e2e_check_on_top() {
  local title=$1 x=$2 y=$3
  [ "$title" != "*" ] && [ "$title" != "-" ] || return 0
  local WINDOW=
  eval "$(xdotool getmouselocation --shell 2>/dev/null | grep '^WINDOW=')"
  [ -n "$WINDOW" ] || return 0
  if ! xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | grep -qx "$WINDOW"; then
    e2e_fail "\"$4\" in \"$title\" lies under the window \"$(xdotool getwindowname "$WINDOW" 2>/dev/null)\" at $x,$y"
  fi
}

# e2e_raise TITLE: brings the window above the others, as the window manager would on a click.
e2e_raise() {
  local id
  id=$(xdotool search --onlyvisible --name "^$1\$" | head -n 1)
  [ -n "$id" ] || e2e_fail "no window \"$1\" to raise"
  xdotool windowraise "$id"
}

# e2e_key KEY...: keys (xdotool names) to the window that has the focus.
e2e_key() {
  xdotool key --delay 30 "$@"
}

# e2e_type TEXT: typed into the window that has the focus.
e2e_type() {
  xdotool type --delay 30 -- "$1"
}

# e2e_focus_window TITLE: gives the window the keyboard focus, as the window manager would on a
# click on its frame.
e2e_focus_window() {
  local id
  id=$(xdotool search --onlyvisible --name "^$1\$" | head -n 1)
  [ -n "$id" ] || e2e_fail "no window \"$1\" to focus"
  xdotool windowfocus --sync "$id"
  e2e_wait_for e2e_window_active "$1" || e2e_fail "window \"$1\" did not take the focus"
}

# e2e_focus_back TITLE: when a window of the program has closed and none of its windows is
# active, the window manager gives the focus back to the window it belonged to: the window
# titled TITLE. Without a window manager the focus would stay with no window.
e2e_focus_back() {
  if ! e2e_widgets | awk -F'\t' '$1 == "window" && $11 ~ /(^|,)active(,|$)/ { found = 1 }
                                  END { exit !found }'; then
    e2e_focus_window "$1"
  fi
}

e2e_enabled() {
  [ "$(e2e_field "$1" "$1" 10 window)" = 1 ]
}

e2e_window_active() {
  e2e_field "$1" "$1" 11 window | grep -qw active
}

# e2e_grab NAME [FORMAT]: a picture of the whole screen, taken by the program, as
# $E2E_ARTIFACTS/NAME.FORMAT (png, or ppm for a test to read); prints its path.
e2e_grab() {
  mkdir -p "$E2E_ARTIFACTS"
  local target=$E2E_ARTIFACTS/$1.${2:-png}
  e2e_app_running || return 1
  printf '%s\n' "$target" >"$E2E_PROBE/grab.tmp"
  mv "$E2E_PROBE/grab.tmp" "$E2E_PROBE/grab"
  local i
  for ((i = 0; i < E2E_TIMEOUT * 20; i++)); do
    [ -e "$E2E_PROBE/grab" ] || { echo "$target"; return 0; }
    e2e_app_running || return 1
    sleep 0.05
  done
  return 1
}

# e2e_step NAME: the test goes on to its next step; a picture of the screen as the previous step
# left it is saved first, numbered, as $E2E_ARTIFACTS/NN-NAME.png.
e2e_step() {
  e2e_end_step
  E2E_STEP_COUNT=$((E2E_STEP_COUNT + 1))
  E2E_STEP=$(printf '%02d-%s' "$E2E_STEP_COUNT" "$1")
  echo "step $E2E_STEP" >&2
}

# e2e_end_step: the picture of the current step, while the program runs.
e2e_end_step() {
  [ -n "$E2E_STEP" ] || return 0
  if e2e_app_running; then
    e2e_grab "$E2E_STEP" >/dev/null || e2e_fail "no picture of the screen after the step"
  fi
  E2E_STEP=
}

# e2e_fail MESSAGE: saves what the screen shows and what the program described, then fails,
# naming the step it failed in.
e2e_fail() {
  local where=$E2E_NAME
  [ -z "$E2E_STEP" ] || where="$E2E_NAME: step $E2E_STEP"
  echo "FAIL: $where: $1" >&2
  mkdir -p "$E2E_ARTIFACTS"
  cp "$E2E_PROBE/widgets.tsv" "$E2E_ARTIFACTS/widgets.tsv" 2>/dev/null || true
  [ -f "$E2E_DIR/app.log" ] && cp "$E2E_DIR/app.log" "$E2E_ARTIFACTS/app.log"
  if picture=$(e2e_grab "${E2E_STEP:-failure}${E2E_STEP:+-failed}" 2>/dev/null); then
    echo "  screen: $picture" >&2
  fi
  echo "  description: $E2E_ARTIFACTS/widgets.tsv, output: $E2E_ARTIFACTS/app.log" >&2
  exit 1
}
