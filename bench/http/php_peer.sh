# Sourced by the page benchmarks: PHP 8.2 under nginx + php-fpm (OPcache on, pm static 8
# children, sessions in files on tmpfs (PHP's own handler, kept off the disk so that the peer
# is not timed against the disk's journal), APCu for shared counters), and the side-by-side
# runs of wendrel and PHP. nginx passes each request to php-fpm's socket the usual
# way: kept FastCGI connections would tie a php-fpm child to each idle nginx connection, and
# with more client connections than children requests would wait for time-outs. The caller sets `work` (a folder readable by nobody) and
# keeps the `pids` array of the processes it must stop.

source bench/http/wrk_helpers.sh

install_php_peer() {
  if ! command -v wrk >/dev/null || ! command -v nginx >/dev/null || ! command -v php-fpm8.2 >/dev/null ||
     ! php-fpm8.2 -m 2>/dev/null | grep -qi apcu; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
      wrk nginx curl php8.2-fpm php8.2-opcache php8.2-apcu >/dev/null
  fi
}

# start_php_peer PORT: serves WORK/php on 127.0.0.1:PORT and waits until it answers.
start_php_peer() {
  local port=$1
  local socket="$work/php/fpm.sock"
  php_sessions=$(mktemp -d /dev/shm/php-sessions.XXXXXX)
  chown nobody:nogroup "$php_sessions"
  mkdir -p "$work/nginx"
  cat > "$work/php/fpm.conf" <<CONF
[global]
pid = $work/php/fpm.pid
error_log = $work/php/fpm.log
daemonize = no
[bench]
user = nobody
group = nogroup
listen = $socket
listen.mode = 0666
pm = static
pm.max_children = 8
php_admin_value[opcache.enable] = 1
php_admin_value[opcache.validate_timestamps] = 0
php_admin_value[session.save_path] = $php_sessions
php_admin_value[session.gc_probability] = 0
php_admin_value[apc.enabled] = 1
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
  server {
    listen 127.0.0.1:$port backlog=4096;
    root $work/php;
    location ~ \.php\$ {
      include /etc/nginx/fastcgi_params;
      fastcgi_param SCRIPT_FILENAME \$document_root\$fastcgi_script_name;
      fastcgi_pass unix:$socket;
    }
  }
}
CONF
  php-fpm8.2 -y "$work/php/fpm.conf" -F &
  pids+=($!)
  php_fpm_pid=$!
  nginx -c "$work/nginx/nginx.conf" -g 'daemon off;' &
  pids+=($!)
  nginx_pid=$!
  for _ in $(seq 100); do
    [[ -S $socket ]] && curl -s -o /dev/null "http://127.0.0.1:$port/" && return
    sleep 0.05
  done
}

stop_php_peer() {
  [[ -n ${php_fpm_pid:-} ]] || return 0
  kill "$php_fpm_pid" "$nginx_pid" 2>/dev/null || true
  wait "$php_fpm_pid" "$nginx_pid" 2>/dev/null || true
  rm -rf "${php_sessions:-/nonexistent}"
}

# The PHP side's processes: the php-fpm master and children, nginx and its workers.
php_peer_pids() {
  echo "$php_fpm_pid" "$nginx_pid" $(pgrep -P "$php_fpm_pid") $(pgrep -P "$nginx_pid")
}

# The processes of a side: the caller's `wendrel_pid`, or the PHP peer's.
side_pids() { if [[ $1 == wendrel ]]; then echo "$wendrel_pid"; else php_peer_pids; fi; }

# beside_php TITLE LABEL RUNNER CASE...: REPEAT rounds of every case, wendrel and PHP taking
# turns to go first (`RUNNER SIDE CASE` prints one wrk_once result), then the medians of each
# case: both rates and their ratio, p99, errors summed, and CPU per request.
beside_php() {
  local title=$1 label=$2 runner=$3
  shift 3
  local -A results
  local case round side
  local order
  for case in "$@"; do
    for ((round = 1; round <= repeat; round++)); do
      order=(wendrel php)
      (( round % 2 == 0 )) && order=(php wendrel)
      for side in "${order[@]}"; do results["$case $side"]+="$($runner "$side" "$case");"; done
    done
  done
  echo
  echo "$title: wrk -t2 -c32, ${duration}s per run, medians of $repeat; CPU is the server side's"
  printf '%-11s %11s %11s %6s %9s %9s %8s %8s %10s %10s\n' "$label" "wendrel/s" "php/s" ratio \
    "p99 ours" "p99 php" "err ours" "err php" "cpu us/req" "php us/req"
  local ours theirs a b
  for case in "$@"; do
    ours=${results["$case wendrel"]}
    theirs=${results["$case php"]}
    a=$(field 1 <<<"$ours" | median)
    b=$(field 1 <<<"$theirs" | median)
    printf '%-11s %11.0f %11.0f %6.2f %8sms %8sms %8s %8s %10s %10s\n' "$case" "$a" "$b" \
      "$(awk -v a="$a" -v b="$b" 'BEGIN { print (b > 0 ? a / b : 0) }')" \
      "$(field 2 <<<"$ours" | median)" "$(field 2 <<<"$theirs" | median)" \
      "$(field 3 <<<"$ours" | awk '{ s += $1 } END { print s }')" \
      "$(field 3 <<<"$theirs" | awk '{ s += $1 } END { print s }')" \
      "$(field 4 <<<"$ours" | median)" "$(field 4 <<<"$theirs" | median)"
  done
}
