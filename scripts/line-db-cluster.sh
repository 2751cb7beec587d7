#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the line database's tests and benchmarks.
#   line-db-cluster.sh start STATE PORT   initdb and start on 127.0.0.1:PORT, with the database
#                                         'line' owned by 'station' (password 'station-pw')
#   line-db-cluster.sh stop STATE         stop it and remove its files
# STATE is a folder of the caller's; the cluster itself lives in a folder of its own under the
# temporary folder, owned by the postgres user when this runs as root (the server refuses root).
set -euo pipefail
action=$1 state=$2

bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"
[ -x "$bin/pg_ctl" ] || { echo "line-db-cluster: no PostgreSQL server (scripts/bootstrap.sh)" >&2; exit 1; }

as_server() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

stop() {
  [ -f "$state/cluster" ] || return 0
  local cluster
  cluster="$(cat "$state/cluster")"
  case "$cluster" in "${TMPDIR:-/tmp}"/veltra-pg.*) ;; *) echo "line-db-cluster: $state/cluster names '$cluster'" >&2; exit 1 ;; esac
  as_server "$bin/pg_ctl" -D "$cluster/data" -m immediate -w stop >/dev/null 2>&1 || true
  rm -rf "$cluster" "$state/cluster"
}

case $action in
  stop) stop ;;
  start)
    port=$3
    mkdir -p "$state"
    stop
    cluster="$(mktemp -d "${TMPDIR:-/tmp}/veltra-pg.XXXXXX")"
    echo "$cluster" >"$state/cluster"
    [ "$(id -u)" -eq 0 ] && chown postgres "$cluster"
    password="$cluster/password"
    echo postgres-pw >"$password"
    [ "$(id -u)" -eq 0 ] && chown postgres "$password"
    as_server "$bin/initdb" -D "$cluster/data" -U postgres -E UTF8 --no-sync --auth-local=trust \
      --auth-host=scram-sha-256 --pwfile="$password" >"$cluster/initdb.log" 2>&1 ||
      { cat "$cluster/initdb.log" >&2; exit 1; }
    if ! as_server "$bin/pg_ctl" -D "$cluster/data" -l "$cluster/server.log" -w -t 60 \
      -o "-p $port -k $cluster -c listen_addresses=127.0.0.1" start >/dev/null; then
      echo "line-db-cluster: the server did not start on port $port:" >&2
      tail -n 5 "$cluster/server.log" >&2
      exit 1
    fi
    as_server "$bin/psql" -X -q -h "$cluster" -p "$port" -U postgres -d postgres -v ON_ERROR_STOP=1 \
      -c "CREATE ROLE station LOGIN CREATEDB PASSWORD 'station-pw'" -c "CREATE DATABASE line OWNER station"
    ;;
  *) echo "usage: line-db-cluster.sh start STATE PORT | stop STATE" >&2; exit 2 ;;
esac
