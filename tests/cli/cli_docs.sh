#!/bin/bash
# cli_docs.sh PROGRAM MANPAGE COMPLETION
# The manual page and the bash completion cover every command 'veltra-cli --help' lists, the
# manual page has no formatting warnings, and the completion completes commands, options,
# EEPROM types and subcommands.
cli=$1 manpage=$2 completion=$3
status=0
fail() { echo "$*"; status=1; }

commands=$("$cli" --help | sed -n '/^Commands:/,/^$/p' | awk 'NR > 1 && NF { print $1 }')
[ -n "$commands" ] || fail "no commands in --help"
for command in $commands; do
  grep -q "^\.B veltra-cli $command\b" "$manpage" || fail "manual page: no synopsis of $command"
  grep -q "^\.B $command\b" "$manpage" || fail "manual page: $command not described"
  grep -q "^  local commands=.*\b$command\b" "$completion" || fail "completion: no $command"
done

if command -v groff >/dev/null; then
  warnings=$(groff -man -ww -z "$manpage" 2>&1)
  [ -z "$warnings" ] || fail "manual page: $warnings"
fi

# shellcheck source=/dev/null
source "$completion"
expect() {
  local want=$1
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _veltra_cli
  [ "${COMPREPLY[*]}" = "$want" ] || fail "completion of '$*': '${COMPREPLY[*]}', expected '$want'"
}
expect "verify" veltra-cli ver
expect "--eeprom" veltra-cli load --eep
expect "S24C512" veltra-cli read --eeprom S24C5
expect "--vid --verify" veltra-cli erase --v
expect "read write" veltra-cli regs ""
expect "playback record" veltra-cli eq-upload ""
expect "create status void" veltra-cli line ""
expect "--used-only" veltra-cli import b.json --device --us
exit $status
