#!/usr/bin/env bash
# Load test of kestrin-shop on a fresh demo site, beside nginx serving the same listing page
# as a static file, in the same run. Loopback only; every run is bounded in time.
#   bench/shop_load.sh [BUILD] [SECONDS]
# Prints requests per second and the 50th and 99th percentile latency for 2 and 16
# connections on each page.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-10}
ctl="$build/tools/kestrinctl/kestrinctl"
shop="$build/shop/kestrin-shop"
for tool in wrk nginx curl; do
  command -v "$tool" >/dev/null || { echo "shop_load: $tool is missing (scripts/bootstrap installs it)"; exit 1; }
done
[ -x "$shop" ] || { echo "shop_load: build kestrin-shop first ($shop)"; exit 1; }

work=$(mktemp -d /tmp/kestrin-shop-load-XXXXXX)
shop_pid=""
nginx_pid=""
cleanup() {
  [ -n "$shop_pid" ] && kill "$shop_pid" 2>/dev/null && wait "$shop_pid" 2>/dev/null || true
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

"$ctl" site create "$work/site" --site kestrin --password tolvaro27 --demo >/dev/null
"$shop" --app-path "$work/site" --site kestrin --password tolvaro27 --port 0 \
  --access-log /dev/null >"$work/shop.out" 2>"$work/shop.err" &
shop_pid=$!
for _ in $(seq 1 200); do
  grep -q 'http://127.0.0.1:' "$work/shop.out" 2>/dev/null && break
  sleep 0.05
done
shop_port=$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$work/shop.out" | head -1)
[ -n "$shop_port" ] || { echo "shop_load: kestrin-shop did not start"; cat "$work/shop.err"; exit 1; }
base="http://127.0.0.1:$shop_port"

listing="/c_4b.asp?group=B1&category=010&page=2"
part=$(sqlite3 "$work/site/kestrin.db" "select part_num from products where grp='B1' order by part_num limit 1")
declare -a names=("listing (kestrin-shop)")
declare -a urls=("$base$listing")
if curl -sf -o /dev/null "$base/c_final.asp?partno=$part&featured=True"; then
  names+=("product page (kestrin-shop)"); urls+=("$base/c_final.asp?partno=$part&featured=True")
fi
if curl -sf -o /dev/null "$base/search.asp?keyword=drive&sType=keyword"; then
  names+=("search (kestrin-shop)"); urls+=("$base/search.asp?keyword=drive&sType=keyword")
fi

# nginx serves the listing page, as kestrin-shop made it, as a static file.
mkdir -p "$work/www"
curl -sf -o "$work/www/listing.html" "$base$listing"
# nginx's workers run as an unprivileged user: they must be able to read the page.
chmod 755 "$work" "$work/www"
chmod 644 "$work/www/listing.html"
nginx_port=$(free_port)
cat >"$work/nginx.conf" <<CONF
daemon off;
worker_processes auto;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 1024; }
http {
  access_log off;
  keepalive_requests 1000000;
  client_body_temp_path $work/tmp;
  proxy_temp_path $work/tmp;
  fastcgi_temp_path $work/tmp;
  uwsgi_temp_path $work/tmp;
  scgi_temp_path $work/tmp;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/www;
    default_type text/html;
  }
}
CONF
mkdir -p "$work/tmp"
nginx -c "$work/nginx.conf" -p "$work" &
nginx_pid=$!
for _ in $(seq 1 100); do
  curl -sf -o /dev/null "http://127.0.0.1:$nginx_port/listing.html" && break
  sleep 0.05
done
names+=("listing as a static file (nginx)"); urls+=("http://127.0.0.1:$nginx_port/listing.html")

printf "%-36s %5s %10s %9s %9s\n" "page" "conns" "req/s" "p50" "p99"
for i in "${!urls[@]}"; do
  for conns in 2 16; do
    out=$(wrk -t2 -c"$conns" -d"${seconds}s" --latency "${urls[$i]}")
    rps=$(awk '/^Requests\/sec:/ {print $2}' <<<"$out")
    p50=$(awk '$1=="50%" {print $2}' <<<"$out")
    p99=$(awk '$1=="99%" {print $2}' <<<"$out")
    errors=$(awk '/Non-2xx|Socket errors/ {print}' <<<"$out")
    printf "%-36s %5s %10s %9s %9s %s\n" "${names[$i]}" "$conns" "$rps" "$p50" "$p99" "$errors"
  done
done
