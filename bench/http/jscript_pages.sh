#!/usr/bin/env bash
# The hello page in JScript beside the same page in VBScript, both served by the wendrel
# command on loopback; a third side is the VBScript page whose text comes from a function of a
# JScript SCRIPT block (a page in two languages: two engines cloned, wired and started).
#
#  1. Every side is checked first: each page must answer 200 with exactly the same bytes, or
#     the run stops.
#  2. wrk -t2 -c32, DURATION seconds per run, REPEAT rounds with the order of the sides turning
#     each round; medians of requests/s and p99 latency, errors and non-2xx summed, and the
#     server's CPU time per request.
# Numbers only; nothing passes or fails.
#
#   bash bench/http/jscript_pages.sh [--duration SECONDS] [--repeat N]
set -euo pipefail
cd "$(dirname "$0")/../.."
source bench/http/wrk_helpers.sh
duration=5
repeat=3
while [[ $# -gt 0 ]]; do
  case "$1" in
    --duration) duration="$2"; shift 2 ;;
    --repeat) repeat="$2"; shift 2 ;;
    *) echo "usage: $0 [--duration SECONDS] [--repeat N]" >&2; exit 2 ;;
  esac
done
build=build/release
bash scripts/build.sh release >/dev/null
command -v wrk >/dev/null && command -v curl >/dev/null || bash bench/http/install-peers.sh

work=$(mktemp -d)
wendrel_pid=""
cleanup() {
  kill $wendrel_pid 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/site" "$work/registry"

cat > "$work/site/vbscript.asp" <<'PAGE'
<html><body><h1><% Response.Write "Hello" %></h1><p>A small page.</p></body></html>
PAGE
cat > "$work/site/jscript.asp" <<'PAGE'
<%@ Language=JScript %><html><body><h1><% Response.Write("Hello") %></h1><p>A small page.</p></body></html>
PAGE
cat > "$work/site/mixed.asp" <<'PAGE'
<script runat="server" language="JScript">function greeting() { return "Hello"; }</script><html><body><h1><% Response.Write greeting() %></h1><p>A small page.</p></body></html>
PAGE

port=18190
WENDREL_REGISTRY_DIR="$work/registry" $build/apps/wendrel --port $port --keep-alive "$work/site" \
  > "$work/wendrel.log" 2>&1 &
wendrel_pid=$!
for _ in $(seq 100); do
  curl -s -o /dev/null "http://127.0.0.1:$port/" && break
  sleep 0.05
done
sides=(vbscript jscript mixed)
url_of() { echo "http://127.0.0.1:$port/$1.asp"; }

# 1. The same answer from every side, or no numbers.
expected=$(curl -s -w '%{http_code}' "$(url_of vbscript)")
if [[ ${expected: -3} != 200 || ${expected%???} != *Hello* ]]; then
  echo "the VBScript page fails; no benchmark" >&2
  echo "$expected" | head >&2
  exit 1
fi
for side in "${sides[@]}"; do
  answer=$(curl -s -w '%{http_code}' "$(url_of "$side")")
  if [[ "$answer" != "$expected" ]]; then
    echo "the $side page differs from the VBScript page; no benchmark" >&2
    diff <(echo "$expected") <(echo "$answer") | head >&2 || true
    exit 1
  fi
done
echo "checked: ${sides[*]} answer 200 with the same bytes"

run_once() {  # side -> wrk_once's "rps p99_ms errors cpu_us_per_request requests"
  wrk_once "$wendrel_pid" -t2 -c32 -d"${duration}s" "$(url_of "$1")"
}

# 2. Rounds with the order turning: v j m, j m v, m v j, ...
declare -A results
for ((round = 0; round < repeat; round++)); do
  for ((k = 0; k < ${#sides[@]}; k++)); do
    side=${sides[$(((round + k) % ${#sides[@]}))]}
    results[$side]+="$(run_once "$side");"
  done
done
vb_rps=$(field 1 <<<"${results[vbscript]}" | median)
echo
echo "hello page through wendrel: wrk -t2 -c32, ${duration}s per run, medians of $repeat"
printf '%-9s %10s %8s %9s %7s %11s\n' side "requests/s" "x vbs" "p99" errors "cpu us/req"
for side in "${sides[@]}"; do
  rps=$(field 1 <<<"${results[$side]}" | median)
  printf '%-9s %10.0f %8.2f %7sms %7s %11s\n' "$side" "$rps" \
    "$(awk -v a="$rps" -v b="$vb_rps" 'BEGIN { print (b > 0 ? a / b : 0) }')" \
    "$(field 2 <<<"${results[$side]}" | median)" \
    "$(field 3 <<<"${results[$side]}" | awk '{ s += $1 } END { print s }')" \
    "$(field 4 <<<"${results[$side]}" | median)"
done
