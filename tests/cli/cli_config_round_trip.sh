#!/bin/sh
# cli_config_round_trip.sh [EMULATOR] PROGRAM
# The configuration commands as a production script uses them, on the default device with its
# EEPROM file in a scratch data directory: export, edit, import into a file and into the device,
# diff, eq-upload. With an emulator (Wine) the EEPROM file lives in the emulator's profile: the
# device gets its first configuration back at the end.
emulator=
program=$1
if [ $# -gt 1 ]; then emulator=$1 program=$2; fi
cli() { $emulator "$program" "$@"; }
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
export XDG_DATA_HOME="$dir/data"
fail() { echo "$*"; exit 1; }

cli export --device --simulated --eeprom S24C04 -o "$dir/a.json" || fail "export --device failed"
grep -q '"format": 1' "$dir/a.json" || fail "no format number"
cli import "$dir/a.json" -o "$dir/a.bin" || fail "import failed"
cli export "$dir/a.bin" --eeprom S24C04 -o "$dir/b.json" || fail "export of the image failed"
cmp -s "$dir/a.json" "$dir/b.json" || fail "the document did not come back"
cli diff --device --simulated "$dir/a.json" --eeprom S24C04 >"$dir/diff" || fail "device and export differ"
[ ! -s "$dir/diff" ] || fail "diff printed for equal configurations"

sed 's/"remoteWakeup": false/"remoteWakeup": true/' "$dir/a.json" >"$dir/c.json"
cli diff "$dir/a.json" "$dir/c.json" >"$dir/diff"
[ $? -eq 1 ] || fail "diff of a changed field did not exit 1"
[ "$(cat "$dir/diff")" = "header.usb.remoteWakeup: false -> true" ] || fail "diff: $(cat "$dir/diff")"
cli import "$dir/c.json" --device --simulated --yes || fail "import --device failed"
cli diff --device --simulated "$dir/c.json" --eeprom S24C04 || fail "the device does not hold the import"

sed 's/"initialDb": -10/"initialDb": 5/' "$dir/a.json" >"$dir/bad.json"
cli import "$dir/bad.json" -o "$dir/bad.bin" 2>"$dir/err"
[ $? -eq 2 ] || fail "a refused volume did not exit 2"
[ "$(wc -l <"$dir/err" | tr -d ' ')" -eq 1 ] || fail "refusal not one line: $(cat "$dir/err")"
grep -q 'audioIo.volumes.playback.initialDb' "$dir/err" || fail "refusal names no field"
[ ! -e "$dir/bad.bin" ] || fail "a refused document was written"

cli eq-upload playback --device --simulated --eeprom S24C04 >"$dir/log" || fail "eq-upload failed"
[ "$(wc -l <"$dir/log" | tr -d ' ')" -eq 5 ] || fail "eq-upload: $(cat "$dir/log")"
cli import "$dir/a.json" --device --simulated --yes || fail "import of the first document failed"
exit 0
