#!/bin/sh
# cli_program.sh PROGRAM...
# A production line of three simulated units: programmed with serials from a counter, each
# unit's Serial string read back with export, the counter and the log as a script finds them.
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
export XDG_DATA_HOME="$dir/data" LOCALAPPDATA="$dir/data"
status=0
fail() { echo "$*"; status=1; }

"$@" export --simulated --device --eeprom S24C64 -o t.json || fail "export of the template"
mkdir units && : >units/1.bin && : >units/2.bin && : >units/3.bin
out=$("$@" program t.json --simulated --units units --watch --count 3 --serial-format 'VT-%04u' \
  --serial-counter c.txt --log log.csv --trace trace.txt --eeprom S24C64 --yes) || fail "program: exit $?"
[ "$(echo "$out" | tail -n 1)" = "3 programmed, 0 failed" ] || fail "summary: $out"
for n in 1 2 3; do
  serial=$("$@" export "units/$n.bin" --eeprom S24C64 | grep -A2 '"serial"' | sed -n 's/.*"text": "\(.*\)".*/\1/p')
  [ "$serial" = "VT-000$n" ] || fail "unit $n: serial '$serial'"
done
[ "$(tr -d '\r' <c.txt)" = 4 ] || fail "counter: $(cat c.txt)"
[ "$(head -n 1 log.csv)" = "time,serial,device,result,detail,seconds,image_fnv1a64" ] ||
  fail "log header: $(head -n 1 log.csv)"
[ "$(grep -c ',ok,' log.csv)" = 3 ] && [ "$(wc -l <log.csv | tr -d ' ')" = 4 ] ||
  fail "log rows: $(cat log.csv)"
# Every unit's requests, each under the line that names it.
[ "$(grep -c '^# unit [123]: VT-000[123] ok ' trace.txt)" = 3 ] &&
  [ "$(grep -c '^# veltra vendor request' trace.txt)" = 3 ] || fail "trace: $(grep -v '^[0-9]' trace.txt)"
# '-' is standard output: the log's rows there, the unit lines on standard error.
mkdir more && : >more/1.bin && echo X-1 >list.txt
out=$("$@" program t.json --simulated --units more --serial-list list.txt --log - --eeprom S24C64 \
  --yes 2>err.txt) || fail "program --log -: exit $?"
[ "$(echo "$out" | sed -n 2p | cut -d, -f2,4)" = "X-1,ok" ] || fail "log on standard output: $out"
grep -q '^unit 1: X-1 ok' err.txt || fail "unit line: $(cat err.txt)"
# A counter that holds a number goes on from it, and says so when --serial-start names another.
"$@" program t.json --simulated --units more --serial-format 'VT-%04u' --serial-counter c.txt \
  --serial-start 9 --eeprom S24C64 --yes >/dev/null 2>err.txt
grep -q -- '--serial-start 9 is not used: c.txt holds the next number, 4' err.txt || fail "start: $(cat err.txt)"
# A line without a source of serials is refused before any unit.
"$@" program t.json --simulated --units more --eeprom S24C64 --yes 2>/dev/null
[ $? = 2 ] || fail "no source of serials"
exit $status
