#!/usr/bin/env bash
# A flame graph of kestrin-shop serving the listing page under load: the demo site on SQLite
# (FLAME_PRODUCTS=N adds N products in one category and loads page 1 of that listing instead),
# 16 connections of wrk, `perf record` on the page host for SECONDS (default 10).
#   bench/shop_flame.sh [BUILD] [SECONDS] [OUT_DIR]
# Writes OUT_DIR/listing.svg and OUT_DIR/listing.folded (default BUILD/flame) and prints the
# functions with the most samples. The call stacks are unwound from the binaries' unwind tables
# (perf --call-graph dwarf), so a Release build serves as well as RelWithDebInfo.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/shop_bench_lib.sh
bench_init shop_flame "${1:-build}"
seconds=${2:-10}
out=${3:-$build/flame}
products=${FLAME_PRODUCTS:-0}
command -v perf >/dev/null || { echo "shop_flame: perf is missing (scripts/bootstrap installs linux-perf)"; exit 1; }
mkdir -p "$out"

bench_site "$work/demo" sqlite
listing="/c_4b.asp?group=B1&category=010&page=1"
if [ "$products" -gt 0 ]; then
  bench_add_products "$work/demo" sqlite "$products"
  listing="/c_4b.asp?group=$large_group&category=$large_category&page=1"
fi
bench_start_shop "$work/demo"
bench_warm "$shop_base$listing"
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) processors)"
wrk -t2 -c16 -d"$((seconds + 2))s" --latency "$shop_base$listing" >"$work/wrk.out" &
wrk_pid=$!
bench_pids+=("$wrk_pid")
sleep 1
if ! perf record -F 199 --call-graph dwarf,16384 -p "$shop_pid" -o "$work/perf.data" \
  -- sleep "$seconds" >"$work/perf.log" 2>&1; then
  echo "shop_flame: perf cannot record here:"
  cat "$work/perf.log"
  exit 1
fi
wait "$wrk_pid" || true
echo "under the recording: $(awk '/^Requests\/sec:/ {print $2}' "$work/wrk.out") req/s"
perf script -i "$work/perf.data" >"$work/perf.txt" 2>/dev/null
python3 bench/flamegraph.py "$work/perf.txt" --svg "$out/listing.svg" \
  --folded "$out/listing.folded" --title "kestrin-shop: $listing, 16 connections"
echo "flame graph: $out/listing.svg"
