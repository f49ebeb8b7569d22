#!/usr/bin/env bash
# A page that opens a database connection, runs one query and closes it — what a report page
# does on every request — served by wendrel under wrk -t2 -c32, with the connection pool and
# without it ("OLE DB Services=-2"), on a SQLite file and on a throwaway PostgreSQL cluster.
# Each page is checked to answer 200 with the query's value first; the variants alternate, each
# runs REPEAT times, medians are printed. Numbers only; nothing passes or fails.
#
#   bash bench/http/data_pages.sh [--duration SECONDS] [--repeat N]
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
duration=5
repeat=3
while [[ $# -gt 0 ]]; do
  case "$1" in
    --duration) duration="$2"; shift 2 ;;
    --repeat) repeat="$2"; shift 2 ;;
    *) echo "usage: $0 [--duration SECONDS] [--repeat N]" >&2; exit 2 ;;
  esac
done
source bench/http/wrk_helpers.sh
build=build/release
bash scripts/build.sh release >/dev/null
command -v wrk >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends wrk curl >/dev/null

work=$(mktemp -d)
chmod 755 "$work"
cleanup() {
  kill "${wendrel_pid:-}" 2>/dev/null || true
  wait 2>/dev/null || true
  "$root/tests/support/data_sources.sh" teardown "$work/sources" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/site" "$work/registry"
"$root/tests/support/data_sources.sh" setup "$work/sources" >/dev/null
export ODBCSYSINI="$work/sources" ODBCINI="$work/sources/odbc.ini"
postgres=$(grep -m1 '^POSTGRES=' "$work/sources/sources.env" | cut -d= -f2- || true)

# page NAME CONNECTION: the page opens CONNECTION, reads one value, closes.
page() {
  cat > "$work/site/$1.asp" <<PAGE
<% Set conn = Server.CreateObject("ADODB.Connection")
conn.Open "$2"
Set rs = conn.Execute("SELECT 41 + 1")
value = rs(0)
rs.Close
conn.Close %><html><body><p>value <%= value %></p></body></html>
PAGE
}
variants=(sqlite-pooled sqlite-unpooled)
page sqlite-pooled "Provider=SQLite;Data Source=$work/bench.db"
page sqlite-unpooled "Provider=SQLite;Data Source=$work/bench.db;OLE DB Services=-2"
if [[ -n $postgres ]]; then
  page postgres-pooled "$postgres"
  page postgres-unpooled "$postgres;OLE DB Services=-2"
  variants+=(postgres-pooled postgres-unpooled)
else
  echo "PostgreSQL: skipped ($(grep -m1 'POSTGRES_SKIP=' "$work/sources/sources.env" | cut -d= -f2-))"
fi
chmod -R a+rX "$work/site"

port=18200
WENDREL_REGISTRY_DIR="$work/registry" $build/apps/wendrel --port $port --keep-alive "$work/site" \
  > "$work/wendrel.log" 2>&1 &
wendrel_pid=$!
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$port/" && break; sleep 0.05; done

for variant in "${variants[@]}"; do
  answer=$(curl -s -w "%{http_code}" "http://127.0.0.1:$port/$variant.asp" | tr -d "\n")
  if [[ $answer != "<html><body><p>value 42</p></body></html>200" ]]; then
    echo "$variant does not answer as it should: $answer; no benchmark" >&2
    exit 1
  fi
done
echo "checked: every page answers 200 with the query's value"

declare -A results
for ((round = 1; round <= repeat; round++)); do
  order=("${variants[@]}")
  (( round % 2 == 0 )) && order=($(printf '%s\n' "${variants[@]}" | tac))
  for variant in "${order[@]}"; do
    results[$variant]+="$(wrk_once "$wendrel_pid" -t2 -c32 -d"${duration}s" "http://127.0.0.1:$port/$variant.asp");"
  done
done
echo
echo "a page per request opening a connection: wrk -t2 -c32, ${duration}s per run, medians of $repeat"
printf '%-18s %10s %9s %7s %10s\n' page "requests/s" "p99" errors "cpu us/req"
for variant in "${variants[@]}"; do
  r=${results[$variant]}
  printf '%-18s %10.0f %8sms %7s %10s\n' "$variant" "$(field 1 <<<"$r" | median)" \
    "$(field 2 <<<"$r" | median)" "$(field 3 <<<"$r" | awk '{ s += $1 } END { print s }')" \
    "$(field 4 <<<"$r" | median)"
done
for target in sqlite postgres; do
  [[ -n ${results[$target-pooled]:-} ]] || continue
  awk -v p="$(field 1 <<<"${results[$target-pooled]}" | median)" \
      -v u="$(field 1 <<<"${results[$target-unpooled]}" | median)" -v t="$target" \
      'BEGIN { printf "%s: pooled / unpooled %.2f\n", t, (u > 0 ? p / u : 0) }'
done
