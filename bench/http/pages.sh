#!/usr/bin/env bash
# ASP pages beside the same pages in PHP under nginx + php-fpm 8.2 with OPcache, on loopback:
# (a) a hello page and (b) a 100-row x 5-column table with formatted numbers.
#
#  1. Both sides are checked first: each page must answer 200 with the same visible text (the
#     PHP pages format numbers as FormatNumber does), or the run stops.
#  2. wrk -t2 -c32, DURATION seconds per run, REPEAT runs with the sides alternating; medians of
#     requests/s and p99 latency, errors and non-2xx summed, and the server's CPU time per
#     request (wendrel's process; nginx and every php-fpm process for PHP).
#  3. The compiled-page cache: the first request of the table page after a start (read,
#     preprocess, parse) beside the median of the next 20.
# Numbers only; nothing passes or fails.
#
#   bash bench/http/pages.sh [--duration SECONDS] [--repeat N]
set -euo pipefail
cd "$(dirname "$0")/../.."
duration=5
repeat=3
while [[ $# -gt 0 ]]; do
  case "$1" in
    --duration) duration="$2"; shift 2 ;;
    --repeat) repeat="$2"; shift 2 ;;
    *) echo "usage: $0 [--duration SECONDS] [--repeat N]" >&2; exit 2 ;;
  esac
done
source bench/http/php_peer.sh
build=build/release
bash scripts/build.sh release >/dev/null
install_php_peer

work=$(mktemp -d)
chmod 755 "$work"
pids=()
cleanup() {
  stop_php_peer
  kill "${pids[@]}" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/site" "$work/php" "$work/nginx" "$work/registry"

cat > "$work/site/hello.asp" <<'PAGE'
<html><body><h1><% Response.Write "Hello" %></h1><p>A small page.</p></body></html>
PAGE
cat > "$work/php/hello.php" <<'PAGE'
<html><body><h1><?php echo "Hello"; ?></h1><p>A small page.</p></body></html>
PAGE
cat > "$work/site/table.asp" <<'PAGE'
<html><body><table>
<% Dim row, value
For row = 1 To 100
  value = row * 37.25 %>
<tr><td><%= row %></td><td><%= FormatNumber(row * 3, 0) %></td><td><%= FormatNumber(value / 3, 2) %></td><td><%= FormatNumber(value * 1000, 2) %></td><td><%= FormatNumber(row / 7, 4) %></td></tr>
<% Next %>
</table></body></html>
PAGE
cat > "$work/php/table.php" <<'PAGE'
<html><body><table>
<?php for ($row = 1; $row <= 100; $row++) { $value = $row * 37.25; ?>
<tr><td><?= $row ?></td><td><?= number_format($row * 3, 0) ?></td><td><?= number_format($value / 3, 2) ?></td><td><?= number_format($value * 1000, 2) ?></td><td><?= number_format($row / 7, 4) ?></td></tr>
<?php } ?>
</table></body></html>
PAGE
chmod -R a+rX "$work"

wendrel_port=18180
php_port=18181
start_php_peer $php_port
start_wendrel() {
  WENDREL_REGISTRY_DIR="$work/registry" $build/apps/wendrel --port $wendrel_port --keep-alive \
    "$work/site" > "$work/wendrel.log" 2>&1 &
  wendrel_pid=$!
  for _ in $(seq 100); do
    curl -s -o /dev/null "http://127.0.0.1:$wendrel_port/" && return
    sleep 0.05
  done
}
start_wendrel

url_of() {  # side page
  if [[ $1 == wendrel ]]; then echo "http://127.0.0.1:$wendrel_port/$2.asp"; else echo "http://127.0.0.1:$php_port/$2.php"; fi
}
visible() { tr -d ' \r\n'; }

# 1. The same visible answer from both, or no numbers.
for page in hello table; do
  ours=$(curl -s -w '%{http_code}' "$(url_of wendrel $page)")
  theirs=$(curl -s -w '%{http_code}' "$(url_of php $page)")
  if [[ ${ours: -3} != 200 || ${theirs: -3} != 200 ||
        "$(visible <<<"${ours%???}")" != "$(visible <<<"${theirs%???}")" ]]; then
    echo "the $page pages differ or fail; no benchmark" >&2
    diff <(visible <<<"${ours%???}" | fold -w 100) <(visible <<<"${theirs%???}" | fold -w 100) | head >&2 || true
    exit 1
  fi
done
echo "checked: both sides answer 200 with the same text for hello and table"

run_once() {  # side page
  wrk_once "$(side_pids "$1")" -t2 -c32 -d"${duration}s" "$(url_of "$1" "$2")"
}
beside_php pages page run_once hello table

# 3. The first request of a page compiles it; the next ones run the kept compilation.
kill $wendrel_pid; wait $wendrel_pid 2>/dev/null || true
start_wendrel
first=$(curl -s -o /dev/null -w '%{time_total}' "$(url_of wendrel table)")
later=$(for _ in $(seq 20); do curl -s -o /dev/null -w '%{time_total}\n' "$(url_of wendrel table)"; done | median)
echo
awk -v f="$first" -v l="$later" 'BEGIN { printf "compiled-page cache (table page): first request %.2f ms, later requests %.2f ms (median of 20)\n", f * 1000, l * 1000 }'
kill $wendrel_pid; wait $wendrel_pid 2>/dev/null || true
