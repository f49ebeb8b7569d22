#!/usr/bin/env bash
# Builds one libFuzzer target with clang (every library instrumented) into build/fuzz and runs
# it on a copy of its stored corpus. New inputs that add coverage land in build/fuzz/corpus/NAME;
# merge them into fuzz/corpus/NAME with -merge=1 when they are worth keeping.
# Usage: scripts/fuzz.sh NAME SECONDS [extra libFuzzer flags]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
name="${1:?usage: $0 NAME SECONDS [flags]}"
seconds="${2:?usage: $0 NAME SECONDS [flags]}"
shift 2
build_dir="$here/build/fuzz"
if [ ! -f "$build_dir/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$here" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DWENDREL_FUZZ=ON
fi
cmake --build "$build_dir" --target "${name}_fuzz" -j "$(nproc)"
work="$build_dir/corpus/$name"
mkdir -p "$work"
cp -n "$here/fuzz/corpus/$name/"* "$work/" 2>/dev/null || true
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
cd "$build_dir"
dict=()
[ -f "$here/fuzz/$name.dict" ] && dict=(-dict="$here/fuzz/$name.dict")
"$build_dir/fuzz/${name}_fuzz" -max_total_time="$seconds" -print_final_stats=1 "${dict[@]}" "$@" "$work"
