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
build=build/release
bash scripts/build.sh release >/dev/null
if ! command -v wrk >/dev/null || ! command -v nginx >/dev/null || ! command -v php-fpm8.2 >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    wrk nginx curl php8.2-fpm php8.2-opcache >/dev/null
fi

work=$(mktemp -d)
chmod 755 "$work"
pids=()
cleanup() {
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
fpm_socket="$work/php/fpm.sock"
cat > "$work/php/fpm.conf" <<CONF
[global]
pid = $work/php/fpm.pid
error_log = $work/php/fpm.log
daemonize = no
[bench]
user = nobody
group = nogroup
listen = $fpm_socket
listen.mode = 0666
pm = static
pm.max_children = 8
php_admin_value[opcache.enable] = 1
php_admin_value[opcache.validate_timestamps] = 0
CONF
cat > "$work/nginx/nginx.conf" <<CONF
worker_processes 2;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 4096; }
http {
  access_log off;
  keepalive_requests 1000000;
  client_body_temp_path $work/nginx;
  proxy_temp_path $work/nginx;
  fastcgi_temp_path $work/nginx;
  uwsgi_temp_path $work/nginx;
  scgi_temp_path $work/nginx;
  upstream fpm { server unix:$fpm_socket; keepalive 32; }
  server {
    listen 127.0.0.1:$php_port backlog=4096;
    root $work/php;
    location ~ \.php\$ {
      include /etc/nginx/fastcgi_params;
      fastcgi_param SCRIPT_FILENAME \$document_root\$fastcgi_script_name;
      fastcgi_keep_conn on;
      fastcgi_pass fpm;
    }
  }
}
CONF
php-fpm8.2 -y "$work/php/fpm.conf" -F &
pids+=($!)
nginx -c "$work/nginx/nginx.conf" -g 'daemon off;' &
pids+=($!)
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
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$php_port/hello.php" && break; sleep 0.05; done

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

cpu_ticks() {  # pids...
  local total=0
  for pid in "$@"; do
    for task in /proc/$pid/task/*/stat; do
      [[ -r $task ]] && total=$((total + $(awk '{ print $14 + $15 }' "$task")))
    done
  done
  echo $total
}
side_pids() {
  if [[ $1 == wendrel ]]; then echo $wendrel_pid; else echo "${pids[@]}" $(pgrep -P "${pids[0]}") $(pgrep -P "${pids[1]}"); fi
}
hz=$(getconf CLK_TCK)
run_once() {  # side page -> "rps p99_ms errors cpu_us_per_request"
  local who=($(side_pids "$1"))
  local before=$(cpu_ticks "${who[@]}")
  local out
  out=$(wrk -t2 -c32 -d"${duration}s" --latency "$(url_of "$1" "$2")")
  local after=$(cpu_ticks "${who[@]}")
  awk -v ticks=$((after - before)) -v hz="$hz" '
    /Requests\/sec/ { rps = $2 }
    /requests in/ { count = $1 }
    /^ +99%/ { v = $2; if (v ~ /us$/) { sub(/us/, "", v); v /= 1000 }
               else if (v ~ /ms$/) { sub(/ms/, "", v) } else if (v ~ /s$/) { sub(/s/, "", v); v *= 1000 }
               p99 = v }
    /Socket errors/ { gsub(/,/, ""); errors += $4 + $6 + $8 + $10 }
    /Non-2xx/ { errors += $5 }
    END { printf "%s %s %d %.1f\n", rps, p99, errors, (count > 0 ? ticks * 1e6 / hz / count : 0) }' <<<"$out"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
column() { tr ';' '\n' | grep -v '^$' | awk -v c="$1" '{ print $c }'; }

declare -A results
for page in hello table; do
  for ((round = 1; round <= repeat; round++)); do
    order=(wendrel php)
    (( round % 2 == 0 )) && order=(php wendrel)
    for side in "${order[@]}"; do results["$page $side"]+="$(run_once $side $page);"; done
  done
done
echo
echo "pages: wrk -t2 -c32, ${duration}s per run, medians of $repeat; CPU is the server side's"
printf '%-8s %11s %11s %6s %9s %9s %8s %8s %10s %10s\n' page "wendrel/s" "php/s" ratio \
  "p99 ours" "p99 php" "err ours" "err php" "cpu us/req" "php us/req"
for page in hello table; do
  ours=${results["$page wendrel"]}
  theirs=${results["$page php"]}
  a=$(column 1 <<<"$ours" | median)
  b=$(column 1 <<<"$theirs" | median)
  printf '%-8s %11.0f %11.0f %6.2f %8sms %8sms %8s %8s %10s %10s\n' "$page" "$a" "$b" \
    "$(awk -v a="$a" -v b="$b" 'BEGIN { print (b > 0 ? a / b : 0) }')" \
    "$(column 2 <<<"$ours" | median)" "$(column 2 <<<"$theirs" | median)" \
    "$(column 3 <<<"$ours" | awk '{ s += $1 } END { print s }')" \
    "$(column 3 <<<"$theirs" | awk '{ s += $1 } END { print s }')" \
    "$(column 4 <<<"$ours" | median)" "$(column 4 <<<"$theirs" | median)"
done

# 3. The first request of a page compiles it; the next ones run the kept compilation.
kill $wendrel_pid; wait $wendrel_pid 2>/dev/null || true
start_wendrel
first=$(curl -s -o /dev/null -w '%{time_total}' "$(url_of wendrel table)")
later=$(for _ in $(seq 20); do curl -s -o /dev/null -w '%{time_total}\n' "$(url_of wendrel table)"; done | median)
echo
awk -v f="$first" -v l="$later" 'BEGIN { printf "compiled-page cache (table page): first request %.2f ms, later requests %.2f ms (median of 20)\n", f * 1000, l * 1000 }'
kill $wendrel_pid; wait $wendrel_pid 2>/dev/null || true
