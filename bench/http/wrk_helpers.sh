# Sourced by the HTTP benchmarks: timing one side with wrk and reading the results.

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
