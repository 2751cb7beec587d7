#!/bin/sh
# cli_watch_interrupt.sh PROGRAM...
# program --watch on the vendor driver with no unit coming (Wine has no driver): it waits
# without spinning, and Ctrl+C ends it cleanly with the summary.
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
export XDG_DATA_HOME="$dir/data" LOCALAPPDATA="$dir/data"
"$@" export --simulated --device --eeprom S24C64 -o t.json || { echo "export of the template"; exit 1; }
"$@" program t.json --watch --count 1 --no-serial --eeprom S24C64 --yes >out.txt 2>err.txt &
pid=$!
sleep 3
# CPU time so far, in clock ticks (user + system): a loop that spins takes all of the 3 s.
ticks=$(awk '{print $14 + $15}' "/proc/$pid/stat" 2>/dev/null)
kill -INT "$pid"
waited=0
while kill -0 "$pid" 2>/dev/null && [ $waited -lt 20 ]; do sleep 0.5; waited=$((waited + 1)); done
kill -0 "$pid" 2>/dev/null && { kill -KILL "$pid"; echo "still running 10 s after Ctrl+C"; exit 1; }
wait "$pid"
rc=$?
status=0
[ "$rc" -eq 0 ] || { echo "exit code $rc: $(cat err.txt)"; status=1; }
[ "$(tr -d '\r' <out.txt)" = "0 programmed, 0 failed" ] || { echo "stdout: $(cat out.txt)"; status=1; }
[ -s err.txt ] && { echo "stderr: $(cat err.txt)"; status=1; }
# Start-up under Wine takes some; waiting must not.
[ -n "$ticks" ] && [ "$ticks" -lt 150 ] || { echo "busy while waiting: $ticks ticks in 3 s"; status=1; }
exit $status
