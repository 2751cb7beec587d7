#!/bin/sh
# cli_line.sh SCHEMA.sql PROGRAM...
# The line commands against the fixture's PostgreSQL server (VELTRA_TEST_LINE_DB), as a line
# engineer runs them: create, status, void; every bad input one line and exit 2, nothing written;
# the schema the tool makes is the one SCHEMA.sql makes.
schema=$(realpath "$1") || exit 1
shift
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
db=$VELTRA_TEST_LINE_DB
line="cli-$$-$(date +%s)"
status=0
fail() { echo "$*"; status=1; }
# refused WHAT ARGS...: exit 2, one line on standard error, nothing on standard output.
refused() {
  what=$1
  shift
  out=$("$@" 2>err.txt)
  rc=$?
  [ $rc -eq 2 ] && [ -z "$out" ] && [ "$(wc -l <err.txt)" -eq 1 ] || fail "$what: exit $rc, '$out', $(cat err.txt)"
}

"$@" line create "$line" --line-db "$db" --serial-format 'VH-%04u' --serial-start 20 >/dev/null ||
  fail "create"
"$@" line void VH-0021 --line-db "$db" --line "$line" --reason "label torn" >/dev/null || fail "void"
json=$("$@" line status "$line" --line-db "$db" --json | tr -d ' \r\n')
[ "$json" = "{\"line\":\"$line\",\"source\":\"serialsVH-%04u\",\"states\":{\"reserved\":0,\"programmed\":0,\"failed\":0,\"void\":1,\"abandoned\":0},\"yield\":null,\"next\":\"VH-0020\",\"left\":9979}" ] ||
  fail "status: $json"

printf 'S1\nS2\nS1\n' >twice.txt
printf 'S1\r\nS2\r\n' >crlf.txt
printf 'S1\nS 2\n' >blank.txt
bad=$(echo "$db" | sed 's/Pwd=[^;]*/Pwd=wrong/')
down=$(echo "$db" | sed 's/Port=[0-9]*/Port=1/')
refused "wrong password" "$@" line status "$line" --line-db "$bad"
refused "unreachable" "$@" line status "$line" --line-db "$down"
refused "unknown line" "$@" line status "$line-x" --line-db "$db"
refused "line twice" "$@" line create "$line" --line-db "$db" --serial-list crlf.txt
for list in twice crlf blank; do
  refused "$list" "$@" line create "$line-$list" --line-db "$db" --serial-list $list.txt
done
refused "overflow" "$@" line create "$line-o" --line-db "$db" --serial-format 'X%02u' --serial-start 100
refused "32 characters" "$@" line create "$line-w" --line-db "$db" --serial-format 'ABCDEFGHIJKLMNOPQRSTUVWXYZ%06u'
refused "void programmed or foreign" "$@" line void VH-0022 VH-9 --line-db "$db" --line "$line" --reason x
refused "void without reason" "$@" line void VH-0022 --line-db "$db" --line "$line"
for made in "$line-twice" "$line-crlf" "$line-blank" "$line-o" "$line-w"; do
  refused "$made was made" "$@" line status "$made" --line-db "$db"
done
text=$("$@" line status "$line" --line-db "$db" | tr -s ' ' | tr -d '\r')
case $text in *"void 1"*"next VH-0020"*"left 9979") ;; *) fail "nothing written: $text" ;; esac

# A data source name from the ODBC configuration of ODBCSYSINI, never the system's.
mkdir odbc
echo "$db" | tr ';' '\n' | sed -n 's/^Driver=/Driver=/p; s/^Server=/Servername=/p; s/^Port=/Port=/p;
  s/^Database=/Database=/p; s/^Uid=/Username=/p; s/^Pwd=/Password=/p' |
  { echo "[veltra-line]"; cat; } >odbc/odbc.ini
: >odbc/odbcinst.ini
ODBCSYSINI="$dir/odbc" ODBCINI="$dir/odbc/odbc.ini" "$@" line status "$line" --line-db veltra-line >/dev/null ||
  fail "DSN: $(cat odbc/odbc.ini)"

# The tool's tables in a new database are those the schema file makes in another.
port=$(echo "$db" | sed -n 's/.*Port=\([0-9]*\).*/\1/p')
export PGPASSWORD=station-pw PGHOST=127.0.0.1 PGPORT=$port PGUSER=station
psql -X -q -d line -c "CREATE DATABASE tool_$$" -c "CREATE DATABASE file_$$" || fail "databases"
"$@" line create L --line-db "$(echo "$db" | sed "s/Database=line/Database=tool_$$/")" \
  --serial-format 'S%u' >/dev/null || fail "create in a new database"
psql -X -q -d "file_$$" -v ON_ERROR_STOP=1 -f "$schema" || fail "$schema"
# Each dump's \restrict lines carry a key of its own.
for made in tool file; do
  pg_dump -s -d "${made}_$$" | grep -v '^\\\(un\)\{0,1\}restrict ' >$made.sql
done
[ -s tool.sql ] && diff tool.sql file.sql || fail "the tool's schema is not the file's"
psql -X -q -d line -c "DROP DATABASE tool_$$" -c "DROP DATABASE file_$$"
exit $status
