#!/usr/bin/env bash
# Runs the anchor programs (loop, concat, dictionary, calls) through this project's JScript
# engine (vbsrun, release build) and through plain Duktape (Debian's duk) on the same source,
# after checking that both print the same. Each side runs three times, the sides alternating;
# the medians are printed with the ratio engine / duk, and the ratio net of each side's
# startup (an almost empty script: process start, registry and module loading), which is the
# engine's own overhead on the program. host_dictionary is the dictionary program through
# Scripting.Dictionary (no peer). Numbers only: nothing passes or fails.
# Usage: bench/jscript/run.sh   (peers: bench/jscript/install-peers.sh)
set -u
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
vbsrun="$root/build/release/apps/vbsrun"
export WENDREL_REGISTRY_DIR="${WENDREL_REGISTRY_DIR:-$root/build/release/bench-registry}"
mkdir -p "$WENDREL_REGISTRY_DIR"

if [ ! -x "$vbsrun" ]; then
  echo "build the release configuration first: scripts/build.sh release" >&2
  exit 0
fi
if ! command -v duk > /dev/null 2>&1; then
  echo "duk is missing: run bench/jscript/install-peers.sh" >&2
  exit 0
fi

# Seconds one run takes (output discarded), or "failed".
seconds() {
  local start end
  start=$(date +%s.%N)
  timeout 600 "$@" > /dev/null 2>&1 || { echo "failed"; return; }
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

median() { printf '%s\n' "$@" | sort -g | sed -n 2p; }

printf '%-16s %10s %10s %8s %10s\n' program engine duk ratio net-ratio
startup_ours=0; startup_duk=0
for program in startup loop concat dictionary calls; do
  script="$here/$program.js"
  [ "$program" == "startup" ] && script="$here/empty.js"
  ours_output=$("$vbsrun" "$script" 2>&1)
  duk_output=$(duk "$script" 2>&1)
  if [ "$ours_output" != "$duk_output" ]; then
    printf '%-16s outputs differ: engine "%s", duk "%s"\n' "$program" "$ours_output" "$duk_output"
    continue
  fi
  ours=(); peer=()
  for round in 1 2 3; do
    ours+=("$(seconds "$vbsrun" "$script")")
    peer+=("$(seconds duk "$script")")
  done
  a=$(median "${ours[@]}"); b=$(median "${peer[@]}")
  ratio=$(echo "scale=2; $a / $b" | bc 2>/dev/null || echo "-")
  if [ "$program" == "startup" ]; then
    startup_ours=$a; startup_duk=$b; net="-"
  else
    net=$(echo "scale=2; ($a - $startup_ours) / ($b - $startup_duk)" | bc 2>/dev/null || echo "-")
  fi
  printf '%-16s %10.3f %10.3f %8s %10s\n' "$program" "$a" "$b" "$ratio" "$net"
done
host=()
for round in 1 2 3; do host+=("$(seconds "$vbsrun" "$here/host_dictionary.js")"); done
printf '%-16s %10.3f %10s %8s %10s\n' host_dictionary "$(median "${host[@]}")" "-" "-" "-"
