#!/usr/bin/env bash
# The web server against nginx on loopback, serving the same 1 KiB and 100 KiB files:
# wrk -t2 -c15 -d10s, once with keep-alive and once with "Connection: close". Prints
# requests/s of both and the ratio. Numbers only; nothing passes or fails.
#
#   bash bench/http/run.sh [DURATION]      (default 10s; needs wrk and nginx: install-peers.sh)
set -euo pipefail
cd "$(dirname "$0")/../.."
duration="${1:-10s}"
build=build/release
[[ -x $build/apps/wendrel ]] || bash scripts/build.sh release >/dev/null
command -v wrk >/dev/null && command -v nginx >/dev/null || bash bench/http/install-peers.sh

work=$(mktemp -d)
wendrel_pid=""
nginx_pid=""
trap 'kill $wendrel_pid $nginx_pid 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/site" "$work/nginx" "$work/registry"
head -c 1024 /dev/urandom | base64 -w 0 | head -c 1024 > "$work/site/one.txt"
head -c 102400 /dev/urandom | base64 -w 0 | head -c 102400 > "$work/site/hundred.txt"

wendrel_port=18080
nginx_port=18081
cat > "$work/nginx/nginx.conf" <<CONF
worker_processes 2;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  keepalive_requests 1000000;
  client_body_temp_path $work/nginx;
  proxy_temp_path $work/nginx;
  fastcgi_temp_path $work/nginx;
  uwsgi_temp_path $work/nginx;
  scgi_temp_path $work/nginx;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/site;
  }
}
CONF
nginx -c "$work/nginx/nginx.conf" -g 'daemon off;' &
nginx_pid=$!
WENDREL_REGISTRY_DIR="$work/registry" $build/apps/wendrel --port $wendrel_port --keep-alive \
  --threads 16 "$work/site" > "$work/wendrel.log" 2>&1 &
wendrel_pid=$!
sleep 1

rate() {  # port path [header]
  local extra=()
  [[ -n "${3:-}" ]] && extra=(-H "$3")
  wrk -t2 -c15 -d"$duration" "${extra[@]}" "http://127.0.0.1:$1$2" |
    awk '/Requests\/sec/ {print $2}'
}

printf '%-28s %14s %14s %8s\n' "case" "wendrel req/s" "nginx req/s" "ratio"
for file in one.txt hundred.txt; do
  for mode in keep-alive close; do
    header=""
    [[ $mode == close ]] && header="Connection: close"
    ours=$(rate $wendrel_port "/$file" "$header")
    if ! kill -0 "$wendrel_pid" 2>/dev/null; then
      echo "the server ended during '$file $mode':" >&2
      cat "$work/wendrel.log" >&2
      exit 1
    fi
    theirs=$(rate $nginx_port "/$file" "$header")
    ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')
    printf '%-28s %14s %14s %8s\n' "$file $mode" "$ours" "$theirs" "$ratio"
  done
done
