#!/usr/bin/env bash
# Configures and builds one configuration: debug (AddressSanitizer + UndefinedBehaviorSanitizer)
# or release. Usage: scripts/build.sh debug|release
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
config="${1:-debug}"
case "$config" in
  debug) build_type=Debug ;;
  release) build_type=Release ;;
  *) echo "usage: $0 debug|release" >&2; exit 2 ;;
esac
build_dir="$here/build/$config"
if [ ! -f "$build_dir/build.ninja" ]; then
  cmake -S "$here" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type"
fi
cmake --build "$build_dir" -j "$(nproc)"
