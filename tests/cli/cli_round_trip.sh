#!/bin/sh
# cli_round_trip.sh [EMULATOR] PROGRAM
# The device commands as a script uses them, on the default device with its EEPROM file in a
# scratch data directory: read, dump, erase, load back, and show the dump. With an emulator
# (Wine), the program keeps its data in the emulator's own profile, which Wine does not let the
# environment move.
emulator=
program=$1
if [ $# -gt 1 ]; then emulator=$1 program=$2; fi
cli() { $emulator "$program" "$@"; }
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
export XDG_DATA_HOME="$dir/data"
fail() { echo "$*"; exit 1; }

cli read --simulated --eeprom S24C02 | grep -q '"Veltra Audio"' || fail "read: no factory image"
if [ -z "$emulator" ]; then
  [ -f "$dir/data/veltra-config/sim-eeprom-5A52-7731-24C02.bin" ] || fail "no EEPROM file"
fi
cli dump --simulated "$dir/a.bin" --eeprom S24C02 || fail "dump failed"
[ "$(wc -c <"$dir/a.bin" | tr -d ' ')" -eq 255 ] || fail "dump is not 255 bytes"
cli erase --simulated --yes --eeprom S24C02 || fail "erase failed"
cli read --simulated --eeprom S24C02 2>/dev/null | grep -q 'empty' || fail "read after erase: not empty"
cli load --simulated "$dir/a.bin" --yes --eeprom S24C02 || fail "load failed"
cli dump --simulated "$dir/b.bin" --eeprom S24C02 || fail "second dump failed"
cmp -s "$dir/a.bin" "$dir/b.bin" || fail "the loaded image did not come back"
cli show "$dir/a.bin" --eeprom S24C02 --json | grep -q '"manufacturer":{"present":true,"text":"Veltra Audio"}' ||
  fail "show --json: no manufacturer"
exit 0
