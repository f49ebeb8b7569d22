#!/usr/bin/env bash
# data_sources.sh setup DIR | teardown DIR
#
# The databases the data-access tests run against, in a folder of their own:
# - DIR/odbcinst.ini and DIR/odbc.ini (point ODBCSYSINI at DIR and ODBCINI at DIR/odbc.ini) with
#   the SQLite and PostgreSQL drivers, and a DSN "SqliteTest" for DIR/dsn.db;
# - a throwaway PostgreSQL cluster on a free 127.0.0.1 port, run as "nobody" when started as
#   root (the server refuses root), in a folder of its own under /tmp (which "nobody" can reach
#   wherever DIR is; DIR/pg-dir names it), torn down by `teardown`;
# - DIR/sources.env: one KEY=VALUE per line: SQLITE_DRIVER, POSTGRES (an ADO connection string
#   for the cluster), or SQLITE_SKIP / POSTGRES_SKIP with the reason a side is missing.
set -u
command=${1:-}
dir=${2:-}
if [ -z "$command" ] || [ -z "$dir" ]; then
  echo "usage: $0 setup|teardown DIR" >&2
  exit 2
fi

find_driver() {
  local name=$1 found
  for found in /usr/lib/*/odbc/"$name" /usr/lib/odbc/"$name" /usr/local/lib/odbc/"$name"; do
    if [ -f "$found" ]; then echo "$found"; return 0; fi
  done
  return 1
}

find_postgres_bin() {
  if command -v initdb >/dev/null 2>&1; then dirname "$(command -v initdb)"; return 0; fi
  local newest
  newest=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
  if [ -n "$newest" ] && [ -x "$newest/initdb" ] && [ -x "$newest/pg_ctl" ]; then
    echo "$newest"; return 0
  fi
  return 1
}

# Runs a command as the cluster's owner: ourselves, or "nobody" when we are root.
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u nobody -- "$@"
  else
    "$@"
  fi
}

free_port() {
  local port
  for _ in $(seq 1 50); do
    port=$(( 20000 + RANDOM % 30000 ))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then echo "$port"; return 0; fi
  done
  return 1
}

start_postgres() {
  local bin port
  if ! bin=$(find_postgres_bin); then echo "POSTGRES_SKIP=initdb and pg_ctl are not installed"; return; fi
  if [ -z "$postgres_driver" ]; then echo "POSTGRES_SKIP=the PostgreSQL ODBC driver (psqlodbcw.so) is not installed"; return; fi
  local pg
  pg=$(mktemp -d /tmp/wendrel-pg.XXXXXX) || { echo "POSTGRES_SKIP=no folder for the cluster"; return; }
  echo "$pg" >"$dir/pg-dir"
  if [ "$(id -u)" -eq 0 ]; then chown nobody "$pg"; fi
  if ! as_owner "$bin/initdb" -D "$pg/data" -U postgres -A trust -E UTF8 --no-sync >"$dir/pg-init.log" 2>&1; then
    echo "POSTGRES_SKIP=initdb failed (see $dir/pg-init.log)"; return
  fi
  # A port found free may be taken before the server binds it: a few tries, each on another.
  local started=""
  for _ in 1 2 3; do
    port=$(free_port) || continue
    if as_owner "$bin/pg_ctl" -D "$pg/data" -l "$pg/server.log" -w -t 60 \
        -o "-p $port -k $pg -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200" \
        start >"$dir/pg-start.log" 2>&1; then
      started=yes
      break
    fi
    cat "$pg/server.log" >>"$dir/pg-failures.log" 2>/dev/null
  done
  if [ -z "$started" ]; then
    echo "POSTGRES_SKIP=the server did not start: $(tail -1 "$pg/server.log" 2>/dev/null)"; return
  fi
  echo "$bin" >"$dir/pg-bin"
  echo "POSTGRES=Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$port;Database=postgres;UID=postgres;BoolsAsChar=0"
}

case "$command" in
  setup)
    "$0" teardown "$dir"  # a cluster a killed run left behind
    mkdir -p "$dir" || exit 1
    sqlite_driver=$(find_driver libsqlite3odbc.so || true)
    postgres_driver=$(find_driver psqlodbcw.so || true)
    {
      echo "[SQLite3]"
      echo "Driver=${sqlite_driver:-libsqlite3odbc.so}"
      echo "[PostgreSQL Unicode]"
      echo "Driver=${postgres_driver:-psqlodbcw.so}"
    } >"$dir/odbcinst.ini"
    {
      echo "[SqliteTest]"
      echo "Driver=SQLite3"
      echo "Database=$dir/dsn.db"
    } >"$dir/odbc.ini"
    {
      if [ -n "$sqlite_driver" ]; then
        echo "SQLITE_DRIVER=$sqlite_driver"
      else
        echo "SQLITE_SKIP=the SQLite ODBC driver (libsqlite3odbc.so) is not installed"
      fi
      start_postgres
    } >"$dir/sources.env"
    cat "$dir/sources.env"
    ;;
  teardown)
    if [ -f "$dir/pg-dir" ]; then
      pg=$(cat "$dir/pg-dir")
      if [ -f "$dir/pg-bin" ]; then
        as_owner "$(cat "$dir/pg-bin")/pg_ctl" -D "$pg/data" -m immediate -w stop >/dev/null 2>&1
      fi
      case "$pg" in /tmp/wendrel-pg.*) rm -rf "$pg" ;; esac
    fi
    rm -rf "$dir"
    ;;
  *)
    echo "usage: $0 setup|teardown DIR" >&2
    exit 2
    ;;
esac
