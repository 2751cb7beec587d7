#!/bin/sh
# cli_streams.sh PROGRAM
# Names of the tool's own descriptors are written to the descriptor as '-' is, so a shell's
# '>>' appends; a trace that cannot be written after an erase says the erase was done.
program=$1
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
export XDG_DATA_HOME="$dir/data"
fail() { echo "$*"; exit 1; }
cli() { "$program" "$@"; }

printf 'earlier\n' >"$dir/log.bin"
cli dump /dev/stdout --simulated --eeprom S24C02 >>"$dir/log.bin" || fail "dump /dev/stdout failed"
cli dump /dev/fd/1 --simulated --eeprom S24C02 >>"$dir/log.bin" || fail "dump /dev/fd/1 failed"
[ "$(head -n 1 "$dir/log.bin")" = earlier ] || fail "dump /dev/stdout replaced the earlier content"
[ "$(wc -c <"$dir/log.bin" | tr -d ' ')" -eq $((8 + 2 * 255)) ] || fail "dump did not append"

tail -c 255 "$dir/log.bin" >"$dir/image.bin"
printf 'earlier\n' >"$dir/doc.json"
cli export "$dir/image.bin" --eeprom S24C02 -o /proc/self/fd/1 >>"$dir/doc.json" ||
  fail "export -o /proc/self/fd/1 failed"
[ "$(head -n 1 "$dir/doc.json")" = earlier ] || fail "export -o /proc/self/fd/1 replaced the file"
grep -q '"format": 1' "$dir/doc.json" || fail "export -o /proc/self/fd/1 wrote no document"

printf 'earlier\n' >"$dir/trace"
cli read --simulated --eeprom S24C02 --trace /dev/stderr >/dev/null 2>>"$dir/trace" ||
  fail "read --trace /dev/stderr failed"
[ "$(head -n 1 "$dir/trace")" = earlier ] || fail "--trace /dev/stderr replaced the file"
grep -q ' ok$' "$dir/trace" || fail "--trace /dev/stderr wrote no requests"

# The erase happened, the trace did not: its own exit code and one line saying both.
cli erase --simulated --eeprom S24C02 --yes --trace /dev/full 2>"$dir/err"
rc=$?
[ "$rc" -eq 3 ] || fail "erase with a failing trace: exit $rc, expected 3"
[ "$(wc -l <"$dir/err" | tr -d ' ')" -eq 1 ] || fail "erase with a failing trace: $(cat "$dir/err")"
grep -q 'the EEPROM was erased, but the trace /dev/full could not be written' "$dir/err" ||
  fail "erase with a failing trace said: $(cat "$dir/err")"
cli read --simulated --eeprom S24C02 2>/dev/null | grep -q 'empty' || fail "the erase was not done"
exit 0
