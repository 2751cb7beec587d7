#!/usr/bin/env bash
# Cross-builds the 32-bit Windows tools and runs their tests under Wine, headless, in a
# throwaway Wine prefix (veltra-config.exe's in Xvfb, each in a copy of it); then packs the
# Windows zip. Usage: scripts/cross-test.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$("$root/scripts/cross-build.sh" "$@" | tail -n 1)"

exe="$dir/src/cli/veltra-cli.exe"
kind="$(file -b "$exe")"
echo "veltra-cli.exe: $kind"
case "$kind" in
  "PE32 executable (console) Intel 80386"*) ;;
  *) echo "veltra-cli.exe is not a 32-bit Windows console program" >&2; exit 1 ;;
esac

# One window program with no console, linking no DLL beyond Windows' own.
gui="$dir/src/app/veltra-config.exe"
kind="$(file -b "$gui")"
echo "veltra-config.exe: $kind, $(($(stat -c %s "$gui") / 1024)) KiB"
case "$kind" in
  "PE32 executable (GUI) Intel 80386"*) ;;
  *) echo "veltra-config.exe is not a 32-bit Windows GUI program" >&2; exit 1 ;;
esac
dlls="$(i686-w64-mingw32-objdump -p "$gui" | sed -n 's/^\s*DLL Name: //p' | sort -fu | tr '\n' ' ')"
echo "veltra-config.exe imports: $dlls"
if grep -qiE '(^| )(lib|qt)[^ ]*\.dll' <<<"$dlls"; then
  echo "veltra-config.exe needs DLLs that Windows does not have" >&2
  exit 1
fi

prefix="$(mktemp -d)"
export WINEPREFIX="$prefix/wine" WINEARCH=win32 WINEDEBUG=-all
# No Mono or Gecko: console programs need neither, and nothing may wait for an answer.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
}
trap cleanup EXIT
start=$SECONDS
"$root/scripts/wine-prefix.sh"
echo "wine prefix ready in $((SECONDS - start)) s"
# The window program's tests run each in a copy of this prefix.
export E2E_WINE_TEMPLATE="$WINEPREFIX"

# Under load Wine at times resets a program's connection to its server before the program has
# run ("wine client error:0: recvmsg: Connection reset by peer"): a failed test runs once more.
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --repeat until-pass:2

rm -rf "$dir/packages"
(cd "$dir" && cpack -G ZIP >/dev/null)
zip="$(ls "$dir"/packages/veltra-config-*-win32.zip)"
# Listed once: grep -q leaving a pipe early would fail the pipeline under pipefail.
listing="$(unzip -l "$zip")"
grep -q "/veltra-cli.exe$" <<<"$listing" || { echo "$zip: no veltra-cli.exe" >&2; exit 1; }
grep -q "/veltra-config.exe$" <<<"$listing" || { echo "$zip: no veltra-config.exe" >&2; exit 1; }
grep -q "/README.txt$" <<<"$listing" || { echo "$zip: no README.txt" >&2; exit 1; }
echo "Windows package: $zip"
