#!/usr/bin/env bash
# Sessions and application state beside PHP's $_SESSION under nginx + php-fpm 8.2, on loopback.
# The page adds one to a session counter and, under the application lock, to a counter shared by
# every visitor (PHP: the session in files, the shared counter with APCu's atomic apcu_inc).
#
#  1. Both sides are checked first: a new visitor reads "visit 1", the same visitor with its
#     cookie "visit 2", and each side's shared counter has grown by both requests.
#  2. Visitors that keep their cookie: 32 sessions made beforehand, wrk -t2 -c32 with
#     session_cookies.lua (each connection's requests in flight belong to different visitors).
#  3. Visitors without cookies: every request makes a new session (sessions made per second).
#     Both timed runs: DURATION seconds, REPEAT runs with the sides alternating, medians.
#  4. Memory of the server per session: resident memory before and after a run of cookie-less
#     requests to a page that stores nothing (empty sessions) and to the counter page (one
#     value), with no session limit in the way.
#  5. A million cookie-less requests under the default session limit: resident memory stays
#     bounded (the oldest sessions of clients that never came back are dropped).
# Numbers only; nothing passes or fails.
#
#   bash bench/http/sessions.sh [--duration SECONDS] [--repeat N] [--no-million]
set -euo pipefail
cd "$(dirname "$0")/../.."
duration=5
repeat=3
million=1
while [[ $# -gt 0 ]]; do
  case "$1" in
    --duration) duration="$2"; shift 2 ;;
    --repeat) repeat="$2"; shift 2 ;;
    --no-million) million=0; shift ;;
    *) echo "usage: $0 [--duration SECONDS] [--repeat N] [--no-million]" >&2; exit 2 ;;
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
  kill "${pids[@]}" "${wendrel_pid:-}" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/site" "$work/php" "$work/registry"

cat > "$work/site/visit.asp" <<'PAGE'
<% Session("n") = Session("n") + 1
Application.Lock
Application("n") = Application("n") + 1
Application.Unlock %><html><body><p>visit <%= Session("n") %></p></body></html>
PAGE
cat > "$work/site/total.asp" <<'PAGE'
<%= Application("n") %>
PAGE
cat > "$work/site/empty.asp" <<'PAGE'
<html><body><p>nothing stored</p></body></html>
PAGE
cat > "$work/php/visit.php" <<'PAGE'
<?php
session_start();
$_SESSION['n'] = ($_SESSION['n'] ?? 0) + 1;
apcu_inc('n', 1, $ok);
?><html><body><p>visit <?= $_SESSION['n'] ?></p></body></html>
PAGE
cat > "$work/php/total.php" <<'PAGE'
<?= apcu_fetch('n') ?: 0 ?>
PAGE
chmod -R a+rX "$work"

wendrel_port=18190
php_port=18191
start_php_peer $php_port
start_wendrel() {  # extra options...
  WENDREL_REGISTRY_DIR="$work/registry" $build/apps/wendrel --port $wendrel_port --keep-alive "$@" \
    "$work/site" > "$work/wendrel.log" 2>&1 &
  wendrel_pid=$!
  for _ in $(seq 100); do
    curl -s -o /dev/null "http://127.0.0.1:$wendrel_port/empty.asp" && return
    sleep 0.05
  done
}
stop_wendrel() { kill $wendrel_pid; wait $wendrel_pid 2>/dev/null || true; }
start_wendrel

url_of() {  # side page
  if [[ $1 == wendrel ]]; then echo "http://127.0.0.1:$wendrel_port/$2.asp"; else echo "http://127.0.0.1:$php_port/$2.php"; fi
}
cookie_name() { if [[ $1 == wendrel ]]; then echo ASPSESSIONID; else echo PHPSESSID; fi; }
# A new visitor: its cookie ("NAME=VALUE").
new_visitor() {  # side
  curl -s -o /dev/null -D - "$(url_of "$1" visit)" |
    tr -d '\r' | sed -n "s/^[Ss]et-[Cc]ookie: \($(cookie_name "$1")=[^;]*\).*/\1/p" | head -1
}
visible() { tr -d ' \r\n'; }

# 1. Both sides keep the visitor and count every visit.
for side in wendrel php; do
  total_before=$(curl -s "$(url_of $side total)" | visible)
  cookie=$(new_visitor $side)
  second=$(curl -s -H "Cookie: $cookie" "$(url_of $side visit)" | visible)
  total_after=$(curl -s "$(url_of $side total)" | visible)
  if [[ -z $cookie || $second != "<html><body><p>visit2</p></body></html>" ||
        $((total_after - ${total_before:-0})) -ne 2 ]]; then
    echo "the $side side does not keep its visitors (cookie '$cookie', second visit '$second'," \
         "shared counter $total_before -> $total_after); no benchmark" >&2
    exit 1
  fi
done
echo "checked: both sides set a cookie, count a visitor's second visit and every visit in the shared counter"

for side in wendrel php; do
  for _ in $(seq 32); do new_visitor $side; done > "$work/$side.cookies"
done

kept_once() {  # side
  wrk_once "$(side_pids "$1")" -t2 -c32 -d"${duration}s" -s bench/http/session_cookies.lua \
    "$(url_of "$1" visit)" -- "$work/$1.cookies" 2
}
cookieless_once() {  # side
  wrk_once "$(side_pids "$1")" -t2 -c32 -d"${duration}s" "$(url_of "$1" visit)"
}

visit_once() { "${2}_once" "$1"; }  # side kind
beside_php sessions visitors visit_once kept cookieless
echo "(cookieless: every request makes a session, so the rates are sessions made per second)"

# 4. Memory per session, without a limit in the way.
rss_kib() { awk '/^VmRSS/ { print $2 }' /proc/$wendrel_pid/status; }
stop_wendrel
start_wendrel --max-sessions 100000000
wrk -t2 -c32 -d1s -s bench/http/session_cookies.lua "$(url_of wendrel empty)" -- "$work/wendrel.cookies" 2 >/dev/null
echo
for page in empty visit; do
  before=$(rss_kib)
  made=$(wrk_once "$wendrel_pid" -t2 -c32 -d3s "$(url_of wendrel $page)" | awk '{ print $5 }')
  after=$(rss_kib)
  awk -v b="$before" -v a="$after" -v n="$made" -v p="$page" 'BEGIN {
    printf "memory per session (%s page): %d sessions, resident %.1f -> %.1f MiB, %.0f bytes each\n",
           p, n, b / 1024, a / 1024, (a - b) * 1024 / n }'
done

# 5. A million cookie-less requests under the default limit.
if (( million )); then
  stop_wendrel
  start_wendrel
  before=$(rss_kib)
  served=0
  peak=0
  while (( served < 1000000 )); do
    served=$((served + $(wrk_once "$wendrel_pid" -t2 -c32 -d10s "$(url_of wendrel visit)" | awk '{ print $5 }')))
    now=$(rss_kib)
    (( now > peak )) && peak=$now
    printf '  %8d requests: resident %.1f MiB\n' $served "$(awk -v k="$now" 'BEGIN { print k / 1024 }')"
  done
  awk -v b="$before" -v p="$peak" -v n="$served" 'BEGIN {
    printf "%d cookie-less requests under the default limit: resident %.1f MiB at start, at most %.1f MiB\n",
           n, b / 1024, p / 1024 }'
fi
stop_wendrel
