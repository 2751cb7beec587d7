#!/bin/sh
# cli_streams.sh PROGRAM
# /dev/stdout is written as '-' is, so '>>' appends; '--trace -' is standard output too; a
# trace that cannot be written after an erase says the erase was done, with its own exit code.
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
export XDG_DATA_HOME="$dir/data"
fail() { echo "$*"; exit 1; }

printf 'earlier\n' >"$dir/log.bin"
"$1" dump /dev/stdout --simulated --eeprom S24C02 >>"$dir/log.bin" || fail "dump failed"
[ "$(head -n 1 "$dir/log.bin")" = earlier ] || fail "dump /dev/stdout replaced the file"
[ "$(wc -c <"$dir/log.bin" | tr -d ' ')" -eq $((8 + 255)) ] || fail "dump did not append"

cd "$dir" && "$1" erase --simulated --eeprom S24C02 --yes --trace - | grep -q '^# veltra vendor request' ||
  fail "--trace - did not reach standard output"
[ -e "$dir/-" ] && fail "--trace - made a file named '-'"

"$1" erase --simulated --eeprom S24C02 --yes --trace /dev/full 2>"$dir/err"
rc=$?
[ "$rc" -eq 3 ] || fail "erase with a failing trace: exit $rc, expected 3"
[ "$(wc -l <"$dir/err" | tr -d ' ')" -eq 1 ] || fail "not one line: $(cat "$dir/err")"
grep -q 'the EEPROM was erased, but the trace /dev/full' "$dir/err" || fail "$(cat "$dir/err")"
"$1" read --simulated --eeprom S24C02 2>/dev/null | grep -q 'empty' || fail "no erase"
