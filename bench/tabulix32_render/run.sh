#!/usr/bin/env bash
# Renders the same 10,000-row report (5 quantities, 100 groups, totals and shares) from C++
# through IDispatch (tabulix32_render_bench) and from a VBScript page through vbsrun
# (report.vbs), checks that both write the same HTML, then times each side three times,
# alternating, and prints the medians in formatted cells per second and MB of HTML per second.
# Numbers only: nothing passes or fails. Needs the release build (scripts/build.sh release).
set -u
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
bench="$root/build/release/bench/tabulix32_render_bench"
vbsrun="$root/build/release/apps/vbsrun"
export WENDREL_REGISTRY_DIR="${WENDREL_REGISTRY_DIR:-$root/build/release/bench-registry}"
mkdir -p "$WENDREL_REGISTRY_DIR"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# 1. Both sides write the same report.
RENDER_BENCH_HTML="$work/cpp.html" "$bench" > /dev/null 2>&1
(cd "$here" && "$vbsrun" report.vbs > "$work/vbs.html" 2> /dev/null)
if ! cmp -s "$work/cpp.html" "$work/vbs.html"; then
  echo "the two sides wrote different HTML; no timing" >&2
  exit 1
fi
echo "same HTML from both sides: $(wc -c < "$work/cpp.html") bytes"

median() { sort -g | sed -n 2p; }

# 2. Three runs each, alternating.
: > "$work/cpp"
: > "$work/vbs"
for run in 1 2 3; do
  "$bench" 2>/dev/null | awk '/RenderReportThroughDispatch/ {
      for (i = 1; i <= NF; i++) {
        if ($i ~ /^cells\/s=/) { sub("cells/s=", "", $i); sub("/s$", "", $i); c = $i }
        if ($i ~ /^MB\/s=/) { sub("MB/s=", "", $i); sub("/s", "", $i); m = $i }
      }
      if (c ~ /k$/) { sub("k", "", c); c = c * 1000 } else if (c ~ /M$/) { sub("M", "", c); c = c * 1000000 }
      print c, m }' >> "$work/cpp"
  (cd "$here" && "$vbsrun" report.vbs 2>&1 > /dev/null) | awk '/^seconds/ {
      print $4 / $2, $6 / $2 / 1e6 }' >> "$work/vbs"
done
cpp_cells=$(cut -d' ' -f1 "$work/cpp" | median)
cpp_mb=$(cut -d' ' -f2 "$work/cpp" | median)
vbs_cells=$(cut -d' ' -f1 "$work/vbs" | median)
vbs_mb=$(cut -d' ' -f2 "$work/vbs" | median)
printf '%-28s %14s %10s\n' side "cells/s" "MB/s"
printf '%-28s %14.0f %10.1f\n' "C++ through IDispatch" "$cpp_cells" "$cpp_mb"
printf '%-28s %14.0f %10.1f\n' "VBScript through vbsrun" "$vbs_cells" "$vbs_mb"
