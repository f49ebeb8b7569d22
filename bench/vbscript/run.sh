#!/usr/bin/env bash
# Runs the script benchmarks with this project's VBScript engine and with Lua 5.4, CPython 3
# and Duktape on the same algorithm, each written as a programmer of that language would (the
# work inside a function, on locals). Every side's output is checked against the expected
# answer first; then each program runs three rounds, the sides alternating within a round, and
# the median seconds are printed with the ratio of vbsrun to Lua. Numbers only: nothing passes
# or fails. Install the peers with bench/vbscript/install-peers.sh; build with
# scripts/build.sh release (VBSRUN=path runs another build). Usage: run.sh [PROGRAM...]
set -u
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
vbsrun="${VBSRUN:-$root/build/release/apps/vbsrun}"
export WENDREL_REGISTRY_DIR="${WENDREL_REGISTRY_DIR:-$root/build/release/bench-registry}"
rounds=3

# program:expected output
programs=(loop:6000000 calls:1000000 hash:20000100000 join:800000 append:250000 startup:)
sides=(vbsrun lua python duktape)

command_of() {  # side program -> the command line
  case "$1" in
    vbsrun) echo "$vbsrun $here/$2.vbs" ;;
    lua) echo "lua5.4 $here/$2.lua" ;;
    python) echo "python3.11 $here/$2.py" ;;
    duktape) echo "duk $here/$2.js" ;;
  esac
}

available() { command -v "${1%% *}" > /dev/null 2>&1; }

# Seconds one run takes (nanosecond clock), or "failed".
time_once() {
  local start end
  start=$(date +%s%N)
  timeout 300 $1 > /dev/null 2>&1 || { echo failed; return; }
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }'
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR ? v[int((NR + 1) / 2)] : "-") }'; }

selected=("${programs[@]}")
if [ $# -gt 0 ]; then
  selected=()
  for wanted in "$@"; do
    for entry in "${programs[@]}"; do [ "${entry%%:*}" == "$wanted" ] && selected+=("$entry"); done
  done
fi

printf '%-9s %9s %9s %9s %9s %12s\n' program vbsrun lua5.4 cpython duktape vbsrun/lua
for entry in "${selected[@]}"; do
  program=${entry%%:*}
  expected=${entry#*:}
  declare -A ok=()
  for side in "${sides[@]}"; do
    command=$(command_of "$side" "$program")
    if ! available "$command"; then ok[$side]=missing; continue; fi
    output=$(timeout 300 $command 2>&1 | tr -d '\r')
    if [ "$output" == "$expected" ]; then ok[$side]=yes; else ok[$side]="wrong output: ${output:0:40}"; fi
  done
  declare -A times=()
  for ((round = 0; round < rounds; round++)); do
    for side in "${sides[@]}"; do
      [ "${ok[$side]}" == yes ] || continue
      times[$side]+="$(time_once "$(command_of "$side" "$program")") "
    done
  done
  row=()
  for side in "${sides[@]}"; do
    if [ "${ok[$side]}" == yes ]; then row+=("$(median ${times[$side]})"); else row+=("-"); fi
  done
  ratio=$(awk -v v="${row[0]}" -v l="${row[1]}" 'BEGIN { if (v + 0 > 0 && l + 0 > 0) printf "%.2f", v / l; else print "-" }')
  printf '%-9s %9s %9s %9s %9s %12s\n' "$program" "${row[@]}" "$ratio"
  for side in "${sides[@]}"; do
    [ "${ok[$side]}" == yes ] || echo "  $side: ${ok[$side]}"
  done
  unset ok times
done
