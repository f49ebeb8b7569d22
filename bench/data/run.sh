#!/usr/bin/env bash
# Data access from VBScript beside CPython's sqlite3 module, on one table of 100,000 rows:
# GetRows against fetchall, a MoveNext loop against iterating the cursor; then opening and
# closing a connection per "request" with and without the connection pool, on SQLite and on a
# throwaway PostgreSQL cluster. Each side is checked to read the same rows first; sides
# alternate, each three times, and the medians are printed. Numbers only: nothing fails.
# Usage: bench/data/run.sh [ROWS]   (needs the release build and bench/data/install-peers.sh)
set -u
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
vbsrun="$root/build/release/apps/vbsrun"
rows=${1:-100000}
work=$(mktemp -d)
trap '"$root/tests/support/data_sources.sh" teardown "$work/sources" >/dev/null 2>&1; rm -rf "$work"' EXIT
export WENDREL_REGISTRY_DIR="$work/registry"
"$root/tests/support/data_sources.sh" setup "$work/sources" >/dev/null
export ODBCSYSINI="$work/sources" ODBCINI="$work/sources/odbc.ini"
db="$work/bench.db"
python3 "$here/make_table.py" "$db" "$rows"

median() { printf '%s\n' "$@" | sort -g | sed -n "$(( ($# + 1) / 2 ))p"; }
# The milliseconds a program printed last on its line.
milliseconds() { echo "${1##* }"; }
# What a program read (row count and checksum), without its time.
content() { echo "${1% *}"; }

declare -A times
sides=(getrows fetchall movenext iterate)
declare -A expected
for round in 1 2 3; do
  for side in "${sides[@]}"; do
    case $side in
      getrows|movenext) out=$("$vbsrun" "$here/$side.vbs" "$db") ;;
      *) out=$(python3 "$here/$side.py" "$db") ;;
    esac
    if [ -z "${expected[reference]:-}" ]; then expected[reference]=$(content "$out"); fi
    if [ "$(content "$out")" != "${expected[reference]}" ]; then
      echo "$side read other rows: '$(content "$out")', expected '${expected[reference]}'" >&2
    fi
    times[$side]+="$(milliseconds "$out") "
  done
done
echo "rows read: ${expected[reference]% *} (checksum ${expected[reference]#* })"
printf '%-34s %10s\n' "side" "median ms"
for side in "${sides[@]}"; do
  printf '%-34s %10s\n' "$side" "$(median ${times[$side]})"
done
getrows=$(median ${times[getrows]}); fetchall=$(median ${times[fetchall]})
movenext=$(median ${times[movenext]}); iterate=$(median ${times[iterate]})
echo "GetRows / fetchall:   $(echo "scale=2; $getrows / $fetchall" | bc)"
echo "MoveNext / iterate:   $(echo "scale=2; $movenext / $iterate" | bc)"

count=500
postgres=$(grep -m1 '^POSTGRES=' "$work/sources/sources.env" | cut -d= -f2-)
declare -A pool
for round in 1 2 3; do
  for target in sqlite postgres; do
    case $target in
      sqlite) connection="Provider=SQLite;Data Source=$db" ;;
      postgres) [ -z "$postgres" ] && continue; connection="$postgres" ;;
    esac
    pooled=$("$vbsrun" "$here/open_close.vbs" "$connection" "$count")
    unpooled=$("$vbsrun" "$here/open_close.vbs" "$connection;OLE DB Services=-2" "$count")
    pool[$target-pooled]+="$(milliseconds "$pooled") "
    pool[$target-unpooled]+="$(milliseconds "$unpooled") "
  done
done
echo "open, query, close x $count:"
for target in sqlite postgres; do
  [ -z "${pool[$target-pooled]:-}" ] && { echo "  $target: skipped ($(grep -m1 '_SKIP=' "$work/sources/sources.env"))"; continue; }
  p=$(median ${pool[$target-pooled]}); u=$(median ${pool[$target-unpooled]})
  echo "  $target: pooled $p ms, unpooled $u ms, unpooled / pooled $(echo "scale=1; $u / $p" | bc)"
done
