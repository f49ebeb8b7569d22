#!/usr/bin/env bash
# The web server beside nginx (2 workers) on loopback, serving the same 1 KiB and 100 KiB files.
#
#  1. Both servers are checked first: every file must come back 200 with exactly its bytes, with
#     and without keep-alive, or the run stops (a peer serving error pages makes ratios lies).
#  2. Throughput: wrk -t2 with -c15, -c32, -c256 and -c1024, keep-alive and "Connection: close",
#     each case REPEAT times with the servers alternating who goes first; medians of
#     requests/s and of p99 latency, plus every socket error and non-2xx answer wrk counted.
#  3. Starvation: wrk counts no error for a connection that is never served, so http_probe
#     opens 256 and 1024 keep-alive connections that each count their answers; "unserved" is
#     the number of connections that got none.
#  4. 10,000 idle keep-alive connections held open (memory per idle connection from the
#     server's RSS) and 1,000 slow-header clients (one byte every 3 s), each while a light load
#     measures normal requests; latency is compared with the same load alone.
# Numbers only; nothing passes or fails.
#
#   bash bench/http/run.sh [--duration SECONDS] [--repeat N] [--quick]
# ASP pages beside PHP-FPM: bench/http/pages.sh.
#     --quick: -c15 and -c32 only, no idle/slow phases (a fast before/after check)
set -euo pipefail
cd "$(dirname "$0")/../.."
duration=5
repeat=3
quick=0
while [[ $# -gt 0 ]]; do
  case "$1" in
    --duration) duration="$2"; shift 2 ;;
    --repeat) repeat="$2"; shift 2 ;;
    --quick) quick=1; shift ;;
    *) echo "usage: $0 [--duration SECONDS] [--repeat N] [--quick]" >&2; exit 2 ;;
  esac
done
build=build/release
bash scripts/build.sh release >/dev/null
command -v wrk >/dev/null && command -v nginx >/dev/null && command -v curl >/dev/null ||
  bash bench/http/install-peers.sh
probe=$build/bench/http_probe
ulimit -n "$(ulimit -Hn)"  # 10,000 idle connections need as many descriptors on each side
open_files=$(ulimit -n)

work=$(mktemp -d)
chmod 755 "$work"  # nginx's workers run as nobody and must reach the site
wendrel_pid=""
nginx_pid=""
cleanup() {
  kill $wendrel_pid $nginx_pid 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/site" "$work/nginx" "$work/registry"
python3 - "$work/site" <<'EOF'
import random, string, sys
random.seed(20261208)
for name, size in (("one.txt", 1024), ("hundred.txt", 102400)):
    text = "".join(random.choice(string.ascii_letters + string.digits) for _ in range(size))
    open(f"{sys.argv[1]}/{name}", "w").write(text)
EOF
chmod 644 "$work/site/"*

wendrel_port=18080
nginx_port=18081
cat > "$work/nginx/nginx.conf" <<CONF
worker_processes 2;
worker_rlimit_nofile $open_files;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 16384; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  keepalive_requests 1000000;
  keepalive_timeout 120s;
  client_body_temp_path $work/nginx;
  proxy_temp_path $work/nginx;
  fastcgi_temp_path $work/nginx;
  uwsgi_temp_path $work/nginx;
  scgi_temp_path $work/nginx;
  server {
    listen 127.0.0.1:$nginx_port backlog=4096;
    root $work/site;
  }
}
CONF
nginx -c "$work/nginx/nginx.conf" -g 'daemon off;' &
nginx_pid=$!
WENDREL_REGISTRY_DIR="$work/registry" $build/apps/wendrel --port $wendrel_port --keep-alive \
  --set IdleTimeout=120 "$work/site" > "$work/wendrel.log" 2>&1 &
wendrel_pid=$!
for _ in $(seq 50); do
  curl -s -o /dev/null "http://127.0.0.1:$wendrel_port/one.txt" &&
    curl -s -o /dev/null "http://127.0.0.1:$nginx_port/one.txt" && break
  sleep 0.1
done

port_of() { [[ $1 == wendrel ]] && echo $wendrel_port || echo $nginx_port; }

still_running() {
  if ! kill -0 "$wendrel_pid" 2>/dev/null; then
    echo "the server ended during $1:" >&2
    cat "$work/wendrel.log" >&2
    exit 1
  fi
}

# 1. Correct answers from both, or no numbers at all.
for server in wendrel nginx; do
  for file in one.txt hundred.txt; do
    for header in "Connection: keep-alive" "Connection: close"; do
      code=$(curl -s -H "$header" -o "$work/answer" -w '%{http_code}' \
        "http://127.0.0.1:$(port_of $server)/$file")
      if [[ $code != 200 ]] || ! cmp -s "$work/answer" "$work/site/$file"; then
        echo "$server answered $code for /$file ($header) or sent other bytes; no benchmark" >&2
        exit 1
      fi
    done
  done
done
echo "checked: both servers answer 200 with the exact bytes of every file"

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else print v[int((NR + 1) / 2)] }'; }

# One wrk run: "requests/s p99_ms errors non2xx".
wrk_once() {  # server path connections header
  local extra=()
  [[ -n "$4" ]] && extra=(-H "$4")
  wrk -t2 -c"$3" -d"${duration}s" --timeout 10s --latency "${extra[@]}" \
    "http://127.0.0.1:$(port_of "$1")$2" | awk '
      /Requests\/sec/ { rps = $2 }
      /^ +99%/ { v = $2; if (v ~ /us$/) { sub(/us/, "", v); v /= 1000 }
                 else if (v ~ /ms$/) { sub(/ms/, "", v) }
                 else if (v ~ /s$/) { sub(/s/, "", v); v *= 1000 }
                 p99 = v }
      /Socket errors/ { gsub(/,/, ""); errors = $4 + $6 + $8 + $10 }
      /Non-2xx/ { non2xx = $5 }
      END { printf "%s %s %d %d\n", rps, p99, errors, non2xx }'
}

declare -A results
levels=(15 32 256 1024)
[[ $quick == 1 ]] && levels=(15 32)
for connections in "${levels[@]}"; do
  for file in one.txt hundred.txt; do
    for mode in keep-alive close; do
      header=""
      [[ $mode == close ]] && header="Connection: close"
      key="$connections $file $mode"
      for ((round = 1; round <= repeat; round++)); do
        order=(wendrel nginx)
        (( round % 2 == 0 )) && order=(nginx wendrel)
        for server in "${order[@]}"; do
          results["$key $server"]+="$(wrk_once "$server" "/$file" "$connections" "$header");"
          still_running "$key"
        done
      done
    done
  done
done

column() { tr ';' '\n' | grep -v '^$' | awk -v c="$1" '{ print $c }'; }
sum() { tr ';' '\n' | grep -v '^$' | awk -v c="$1" '{ s += $c } END { print s + 0 }'; }
echo
echo "throughput: wrk -t2, ${duration}s per run, medians of $repeat (errors and non-2xx summed)"
printf '%-26s %11s %11s %6s %9s %9s %10s %10s\n' case "wendrel/s" "nginx/s" ratio \
  "p99 ours" "p99 nginx" "err ours" "err nginx"
for connections in "${levels[@]}"; do
  for file in one.txt hundred.txt; do
    for mode in keep-alive close; do
      key="$connections $file $mode"
      ours=${results["$key wendrel"]}
      theirs=${results["$key nginx"]}
      ours_rps=$(column 1 <<<"$ours" | median)
      theirs_rps=$(column 1 <<<"$theirs" | median)
      ratio=$(awk -v a="$ours_rps" -v b="$theirs_rps" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
      printf '%-26s %11.0f %11.0f %6s %8sms %8sms %10s %10s\n' "-c$key" "$ours_rps" \
        "$theirs_rps" "$ratio" "$(column 2 <<<"$ours" | median)" \
        "$(column 2 <<<"$theirs" | median)" \
        "$(($(sum 3 <<<"$ours") + $(sum 4 <<<"$ours")))" \
        "$(($(sum 3 <<<"$theirs") + $(sum 4 <<<"$theirs")))"
    done
  done
done

echo
echo "starvation: http_probe keep-alive clients on /one.txt for ${duration}s, answers counted per connection"
for connections in 256 1024; do
  [[ $quick == 1 ]] && break
  for server in wendrel nginx; do
    printf '%-8s -c%-5s %s\n' "$server" "$connections" \
      "$($probe load --port "$(port_of $server)" --path /one.txt --bytes 1024 \
         --connections "$connections" --seconds "$duration")"
    still_running "starvation"
  done
done
[[ $quick == 1 ]] && exit 0

rss_kib() { awk '/VmRSS/ { print $2 }' "/proc/$1/status"; }
nginx_rss_kib() {  # master and workers together
  local total=0
  for pid in $nginx_pid $(pgrep -P "$nginx_pid"); do total=$((total + $(rss_kib "$pid"))); done
  echo $total
}
light_load() {  # server
  $probe load --port "$(port_of "$1")" --path /one.txt --bytes 1024 --connections 8 \
    --seconds "$duration"
}

echo
echo "idle: 10,000 kept-alive connections held open while 8 clients measure normal requests"
for server in wendrel nginx; do
  alone=$(light_load $server)
  before=$([[ $server == wendrel ]] && rss_kib $wendrel_pid || nginx_rss_kib)
  $probe idle --port "$(port_of $server)" --path /one.txt --connections 10000 \
    --seconds $((duration * 3)) > "$work/idle.out" &
  idle_pid=$!
  for _ in $(seq 600); do grep -q phase=held "$work/idle.out" 2>/dev/null && break; sleep 0.1; done
  after=$([[ $server == wendrel ]] && rss_kib $wendrel_pid || nginx_rss_kib)
  loaded=$(light_load $server)
  wait $idle_pid
  still_running "idle"
  per=$(awk -v a="$after" -v b="$before" 'BEGIN { printf "%.1f", (a - b) * 1024 / 10000 }')
  echo "$server: $(head -1 "$work/idle.out")  $(tail -1 "$work/idle.out")"
  echo "$server: bytes per idle connection=$per"
  echo "$server: alone:     $alone"
  echo "$server: with idle: $loaded"
done

echo
echo "slow headers: 1,000 clients sending one header byte every 3 s while 8 clients measure"
for server in wendrel nginx; do
  alone=$(light_load $server)
  $probe slow --port "$(port_of $server)" --connections 1000 --seconds $((duration * 3)) \
    --interval-ms 3000 > "$work/slow.out" &
  slow_pid=$!
  sleep 2
  loaded=$(light_load $server)
  wait $slow_pid
  still_running "slow headers"
  echo "$server: $(cat "$work/slow.out")"
  echo "$server: alone:      $alone"
  echo "$server: with slow:  $loaded"
done
