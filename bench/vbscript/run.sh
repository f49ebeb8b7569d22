#!/usr/bin/env bash
# Runs the four script benchmarks with this project's VBScript engine and with Duktape, Lua 5.4
# and CPython 3 on the same algorithm, and prints seconds per run side by side. Numbers only:
# nothing passes or fails. Usage: bench/vbscript/run.sh [--skip-slow]
#   --skip-slow  leaves out peers known to take minutes (Duktape and Lua on concat)
set -u
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
vbsrun="$root/build/release/apps/vbsrun"
skip_slow=0
[ "${1:-}" == "--skip-slow" ] && skip_slow=1
export WENDREL_REGISTRY_DIR="${WENDREL_REGISTRY_DIR:-$root/build/release/bench-registry}"

# Seconds taken by a command (its output is discarded), or "-" when the tool is missing.
seconds() {
  command -v "$1" > /dev/null 2>&1 || { echo "-"; return; }
  local start end
  start=$(date +%s.%N)
  timeout 600 "$@" > /dev/null 2>&1 || { echo "failed"; return; }
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

printf '%-12s %10s %10s %10s %10s\n' program vbscript duktape lua5.4 python3
for program in loop concat dictionary calls; do
  vbs=$(seconds "$vbsrun" "$here/$program.vbs")
  if [ $skip_slow -eq 1 ] && [ "$program" == "concat" ]; then
    duk="skipped"; lua="skipped"
  else
    duk=$(seconds duk "$here/$program.js")
    lua=$(seconds lua5.4 "$here/$program.lua")
  fi
  py=$(seconds python3 "$here/$program.py")
  printf '%-12s %10s %10s %10s %10s\n' "$program" "$vbs" "$duk" "$lua" "$py"
done
