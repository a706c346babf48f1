#!/usr/bin/env bash
# Resident size of kestrin-shop under load: the demo site on SQLite, 16 connections of wrk going
# round the listing (pages 1 and 2), a product page and a search, for SECONDS (default 60).
# Prints VmRSS (from /proc/PID/status) before the load and every 10 seconds, then whether the
# page host stays under 100 MB and whether it grew between the half and the end of the run.
#   bench/shop_memory.sh [BUILD] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/shop_bench_lib.sh
bench_init shop_memory "${1:-build}"
seconds=${2:-60}
[ "$seconds" -ge 20 ] || { echo "shop_memory: run at least 20 seconds"; exit 2; }

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) processors)"
bench_site "$work/demo" sqlite
bench_start_shop "$work/demo"
listing="/c_4b.asp?group=B1&category=010"
product=$(curl -sf "$shop_base$listing&page=1" | grep -o 'c_final\.asp?[^"]*partno=[^"]*' |
  head -n 1 | sed 's/&amp;/\&/g' || true)
paths=("$listing&page=1" "$listing&page=2" "/search.asp?keyword=drive&sType=keyword")
[ -n "$product" ] && paths+=("/$product")
for p in "${paths[@]}"; do bench_warm "$shop_base$p"; done
{
  echo "local paths = {"
  for p in "${paths[@]}"; do echo "  \"$p\","; done
  echo "}"
  echo "local i = 0"
  echo "request = function()"
  echo "  i = i + 1"
  echo "  return wrk.format(nil, paths[(i % #paths) + 1])"
  echo "end"
} >"$work/round.lua"

rss() { awk '/^VmRSS:/ {print $2}' "/proc/$shop_pid/status"; }
declare -A at
at[0]=$(rss)
echo "VmRSS of kestrin-shop after warm-up: ${at[0]} kB"
wrk -t2 -c16 -d"${seconds}s" --latency -s "$work/round.lua" "$shop_base" >"$work/wrk.out" &
wrk_pid=$!
bench_pids+=("$wrk_pid")
start=$(date +%s.%N)
half=$((seconds / 2))
marks=()
for ((t = 10; t < seconds; t += 10)); do marks+=("$t"); done
[[ " ${marks[*]} " == *" $half "* ]] || marks+=("$half")
marks+=("$((seconds - 1))")
for t in $(printf '%s\n' "${marks[@]}" | sort -n); do
  wait_s=$(awk -v s="$start" -v t="$t" -v now="$(date +%s.%N)" 'BEGIN {w = s + t - now; print (w > 0 ? w : 0)}')
  sleep "$wait_s"
  at[$t]=$(rss)
  echo "VmRSS after $t s of load: ${at[$t]} kB"
done
wait "$wrk_pid" || true
end=$((seconds - 1))
echo "load: $(awk '/^Requests\/sec:/ {print $2}' "$work/wrk.out") req/s," \
  "p50 $(awk '$1=="50%" {print $2}' "$work/wrk.out")," \
  "p99 $(awk '$1=="99%" {print $2}' "$work/wrk.out")," \
  "$(awk '/requests in/ {print $1}' "$work/wrk.out") requests" \
  "$(awk '/Non-2xx|Socket errors/ {$1=$1; printf "(%s) ", $0}' "$work/wrk.out")"
echo "VmHWM (peak): $(awk '/^VmHWM:/ {print $2}' "/proc/$shop_pid/status") kB"
growth=$((at[$end] - at[$half]))
awk -v kb="${at[$end]}" 'BEGIN { printf "at the end: %.1f MB (goal < 100 MB): %s\n", kb / 1024,
  kb < 100 * 1024 ? "met" : "MISSED" }'
# A megabyte of slack for the allocator's arenas settling; a leak grows by far more per minute.
awk -v g="$growth" -v h="$half" -v e="$end" 'BEGIN {
  printf "growth from %d s to %d s: %d kB (goal: none beyond 1 MB): %s\n", h, e, g,
  g <= 1024 ? "met" : "MISSED" }'
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
