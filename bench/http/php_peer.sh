# Sourced by the page benchmarks: PHP 8.2 under nginx + php-fpm (OPcache on, pm static 8
# children, sessions in files on tmpfs (PHP's own handler, kept off the disk so that the peer
# is not timed against the disk's journal), APCu for shared counters), and the
# helpers that time one side with wrk. nginx passes each request to php-fpm's socket the usual
# way: kept FastCGI connections would tie a php-fpm child to each idle nginx connection, and
# with more client connections than children requests would wait for time-outs. The caller sets `work` (a folder readable by nobody) and
# keeps the `pids` array of the processes it must stop.

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

# CPU ticks (user + system) of the given processes, all their threads.
cpu_ticks() {
  local total=0
  for pid in "$@"; do
    for task in /proc/$pid/task/*/stat; do
      [[ -r $task ]] && total=$((total + $(awk '{ print $14 + $15 }' "$task")))
    done
  done
  echo $total
}

# wrk_once "PIDS" WRK-ARGUMENTS... -> "rps p99_ms errors cpu_us_per_request"
wrk_once() {
  local who=($1)
  shift
  local before after out
  before=$(cpu_ticks "${who[@]}")
  out=$(wrk --latency "$@")
  after=$(cpu_ticks "${who[@]}")
  awk -v ticks=$((after - before)) -v hz="$(getconf CLK_TCK)" '
    /Requests\/sec/ { rps = $2 }
    /requests in/ { count = $1 }
    /^ +99%/ { v = $2; if (v ~ /us$/) { sub(/us/, "", v); v /= 1000 }
               else if (v ~ /ms$/) { sub(/ms/, "", v) } else if (v ~ /s$/) { sub(/s/, "", v); v *= 1000 }
               p99 = v }
    /Socket errors/ { gsub(/,/, ""); errors += $4 + $6 + $8 + $10 }
    /Non-2xx/ { errors += $5 }
    END { printf "%s %s %d %.1f %d\n", rps, p99, errors, (count > 0 ? ticks * 1e6 / hz / count : 0), count }' <<<"$out"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# Field N of each ';'-separated result.
field() { tr ';' '\n' | grep -v '^$' | awk -v c="$1" '{ print $c }'; }
