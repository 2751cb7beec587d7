#!/usr/bin/env bash
# The Windows program under Wine without --simulated: Wine has no vendor driver, so the service
# cannot be started and Connect says "Cannot find the HID device !!!"; the window goes on, closes
# without a hang and leaves no driver service behind.
# Usage: wine_no_driver_test.sh VELTRA_CONFIG_EXE
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e_lib.sh"
source "$here/veltra_steps.sh"
e2e_init wine-no-driver
E2E_EXE_ARGS=

e2e_step connect
e2e_start_x 1366 728
e2e_start_app "$1"
e2e_wait_window "$VELTRA_MAIN"
veltra_choose_type S24C64
veltra_type_into CDemoDlg/1016 5A52
veltra_type_into CDemoDlg/1018 7731
e2e_click "$VELTRA_MAIN" CDemoDlg/1017
veltra_answer "Cannot find the HID device !!!" OK
e2e_wait_text "$VELTRA_MAIN" CDemoDlg/1017 Connect || e2e_fail "the window claims a connection"

e2e_step close
veltra_close
[ "$E2E_APP_STATUS" = 0 ] || e2e_fail "the program ended with status $E2E_APP_STATUS"
e2e_end_step
if e2e_like_app wine reg query 'HKLM\System\CurrentControlSet\Services\ZR_VENDER_CMD' \
  >/dev/null 2>&1; then
  e2e_fail "the driver service ZR_VENDER_CMD is left installed"
fi
echo "PASS: wine no driver"
