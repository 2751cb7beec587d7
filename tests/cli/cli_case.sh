#!/bin/sh
# cli_case.sh EXIT_CODE EXPECTED_STDOUT STDERR_LINES PROGRAM ARGS...
# Runs the real binary and checks what a calling script sees: exit code, standard output
# exactly, and the number of lines on standard error.
code=$1 expected=$2 errLines=$3
shift 3
errFile=$(mktemp) || exit 1
trap 'rm -f "$errFile"' EXIT
out=$("$@" 2>"$errFile")
rc=$?
lines=$(wc -l <"$errFile" | tr -d ' ')
status=0
[ "$rc" -eq "$code" ] || { echo "exit code $rc, expected $code"; status=1; }
[ "$out" = "$expected" ] || { echo "stdout '$out', expected '$expected'"; status=1; }
[ "$lines" -eq "$errLines" ] || { echo "$lines stderr lines, expected $errLines:"; cat "$errFile"; status=1; }
exit $status
