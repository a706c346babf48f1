#!/usr/bin/env bash
# Load test of kestrin-shop beside nginx serving the same pages as static files, in one run, on
# loopback, every cell bounded in time.
#   bench/shop_load.sh [BUILD] [SECONDS]      (SECONDS per cell, default 5)
# On each backend (SQLite, and a throw-away PostgreSQL server that the script starts), on the
# demo site and on the demo site with 100,000 more products in one category:
#   demo site: the listing page, a product page and a search;
#   large site: page 1 and page 50 of the large category's listing;
# each with 2 and 16 connections, each listing also from nginx as a static file right after it.
# Prints requests per second, p50 and p99 in milliseconds, then the ratios that the page host is
# held to: listing against nginx, the large listing against the demo's, page 50 against page 1.
# The machine's load average is printed at the start and the end: compare only within a run.
#   LOAD_BACKENDS="sqlite postgres"   the backends to measure
#   LOAD_PRODUCTS=100000              products of the large site (0: no large site)
#   LOAD_BASELINE=PATH                another kestrin-shop binary (an earlier build), measured on
#                                     the same sites right after this build's, cell by cell, so
#                                     that a change can be judged on a machine whose load varies
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/shop_bench_lib.sh
bench_init shop_load "${1:-build}"
seconds=${2:-5}
backends=${LOAD_BACKENDS:-sqlite postgres}
products=${LOAD_PRODUCTS:-100000}
baseline=${LOAD_BASELINE:-}
servers=(shop)
if [ -n "$baseline" ]; then
  [ -x "$baseline" ] || { echo "shop_load: LOAD_BASELINE $baseline is not a program"; exit 2; }
  servers+=(base)
fi

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) processors)"

demo_listing="/c_4b.asp?group=B1&category=010&page=1"
large_listing="/c_4b.asp?group=$large_group&category=$large_category"

# The cells, in the order they run: backend, site, page name, URL path, nginx file or "-".
cells=()
declare -A host_of
# Starts the page hosts of a site: this build's, and the baseline's when there is one.
start_hosts() {
  bench_start_shop "$1"
  host_of[$2/shop]=$shop_base
  if [ -n "$baseline" ]; then
    bench_start_shop "$1" "$baseline"
    host_of[$2/base]=$shop_base
  fi
  shop_base=${host_of[$2/shop]}
}
measured=()
for backend in $backends; do
  if [ "$backend" = postgres ] && [ -z "$pg_state" ] && ! bench_postgres; then
    echo "postgres: skipped: $pg_unavailable"
    continue
  fi
  [ "$backend" = sqlite ] || [ "$backend" = postgres ] ||
    { echo "shop_load: unknown backend $backend"; exit 2; }
  measured+=("$backend")
  start=$SECONDS
  bench_site "$work/demo-$backend" "$backend"
  start_hosts "$work/demo-$backend" "$backend/demo"
  bench_warm "$shop_base$demo_listing"
  bench_static "demo-$backend.html" "$shop_base$demo_listing"
  cells+=("$backend demo listing $demo_listing demo-$backend.html")
  product=$(curl -sf "$shop_base$demo_listing" | grep -o 'c_final\.asp?[^"]*partno=[^"]*' |
    head -n 1 | sed 's/&amp;/\&/g' || true)
  product="/$product"
  if [ "$product" != / ] && curl -sf -o /dev/null "$shop_base$product"; then
    cells+=("$backend demo product $product -")
  fi
  search="/search.asp?keyword=drive&sType=keyword"
  if curl -sf -o /dev/null "$shop_base$search"; then
    cells+=("$backend demo search $search -")
  fi
  if [ "$products" -gt 0 ]; then
    bench_site "$work/large-$backend" "$backend"
    bench_add_products "$work/large-$backend" "$backend" "$products"
    start_hosts "$work/large-$backend" "$backend/large"
    for page in 1 50; do
      bench_warm "$shop_base$large_listing&page=$page"
      bench_static "large-$backend-$page.html" "$shop_base$large_listing&page=$page"
      cells+=("$backend large listing-p$page $large_listing&page=$page large-$backend-$page.html")
    done
  fi
  echo "$backend: sites made and pages checked in $((SECONDS - start)) s"
done
[ ${#cells[@]} -gt 0 ] || { echo "shop_load: nothing to measure"; exit 1; }
bench_start_nginx

declare -A rps_of p50_of p99_of
printf "\n%-9s %-6s %-12s %-6s %5s %9s %9s %9s\n" backend site page server conns "req/s" \
  "p50 ms" "p99 ms"
row() {
  printf "%-9s %-6s %-12s %-6s %5s %9s %9s %9s %s\n" "$@" "$rps" "$p50" "$p99" "$errors"
}
for cell in "${cells[@]}"; do
  read -r backend site page path static <<<"$cell"
  for conns in 2 16; do
    key="$backend/$site/$page/$conns"
    for server in "${servers[@]}"; do
      [ "$server" = base ] && bench_warm "${host_of[$backend/$site/base]}$path"
      bench_wrk "${host_of[$backend/$site/$server]}$path" "$conns" "$seconds"
      k=$key
      [ "$server" = base ] && k=$key/base
      rps_of[$k]=$rps p50_of[$k]=$p50 p99_of[$k]=$p99
      row "$backend" "$site" "$page" "$server" "$conns"
    done
    if [ "$static" != - ]; then
      bench_wrk "$nginx_base/$static" "$conns" "$seconds"
      rps_of[$key/nginx]=$rps
      row "$backend" "$site" "$page" nginx "$conns"
    fi
  done
done

# Ratios; each line says whether the goal in brackets is met.
verdict() {
  awk -v v="$1" -v op="$2" -v goal="$3" 'BEGIN {
    ok = (op == ">=") ? v >= goal : (op == "<") ? v < goal : v <= goal
    printf "%s", ok ? "met" : "MISSED" }'
}
ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.3f", a / b; else printf "n/a" }'
}
echo
echo "listing against nginx's static file, req/s (goal >= 0.10):"
for backend in "${measured[@]}"; do
  for page in "demo listing" "large listing-p1" "large listing-p50"; do
    for conns in 2 16; do
      key="$backend/${page% *}/${page#* }/$conns"
      [ -n "${rps_of[$key]:-}" ] || continue
      r=$(ratio "${rps_of[$key]}" "${rps_of[$key/nginx]}")
      printf "  %-9s %-18s %2s conns %7s  %s\n" "$backend" "$page" "$conns" "$r" \
        "$(verdict "$r" ">=" 0.10)"
    done
  done
done
if [ "$products" -gt 0 ]; then
  echo "time per listing, large site page 1 against the demo's page 1, from req/s (goal <= 1.5):"
  for backend in "${measured[@]}"; do
    for conns in 2 16; do
      r=$(ratio "${rps_of[$backend/demo/listing/$conns]}" "${rps_of[$backend/large/listing-p1/$conns]}")
      printf "  %-9s %2s conns %7s  %s\n" "$backend" "$conns" "$r" "$(verdict "$r" "<=" 1.5)"
    done
  done
  echo "time per listing, page 50 against page 1 of the large site, from req/s (goal <= 1.2):"
  for backend in "${measured[@]}"; do
    for conns in 2 16; do
      r=$(ratio "${rps_of[$backend/large/listing-p1/$conns]}" \
        "${rps_of[$backend/large/listing-p50/$conns]}")
      printf "  %-9s %2s conns %7s  %s\n" "$backend" "$conns" "$r" "$(verdict "$r" "<=" 1.2)"
    done
  done
fi
echo "p99 of the listings at 16 connections (goal < 20 ms on SQLite):"
for backend in "${measured[@]}"; do
  for page in "demo listing" "large listing-p1" "large listing-p50"; do
    key="$backend/${page% *}/${page#* }/16"
    [ -n "${p99_of[$key]:-}" ] || continue
    printf "  %-9s %-18s %7s ms  %s\n" "$backend" "$page" "${p99_of[$key]}" \
      "$(verdict "${p99_of[$key]}" "<" 20)"
  done
done
if [ -n "$baseline" ]; then
  echo "req/s of this build against the baseline's, cell by cell (above 1: this build is faster):"
  for cell in "${cells[@]}"; do
    read -r backend site page _ <<<"$cell"
    for conns in 2 16; do
      key="$backend/$site/$page/$conns"
      printf "  %-9s %-6s %-12s %2s conns %7s\n" "$backend" "$site" "$page" "$conns" \
        "$(ratio "${rps_of[$key]}" "${rps_of[$key/base]}")"
    done
  done
fi
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
