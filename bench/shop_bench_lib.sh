# Shared by the page host's load scripts (shop_load.sh, shop_memory.sh, shop_flame.sh); sourced,
# not run. Everything they start (page hosts, nginx, a throw-away PostgreSQL server) and every
# file they make lives under $work and goes when the script exits.
#
#   bench_init NAME BUILD     checks the tools and the build, makes $work, sets the exit trap
#   bench_postgres            starts a throw-away PostgreSQL server; false (with the reason in
#                             $pg_unavailable) when there is none
#   bench_site DIR BACKEND    makes the demo site in DIR on sqlite or postgres
#   bench_add_products DIR BACKEND N
#                             adds N generated products to the site, all in one category
#                             ($large_group / $large_category)
#   bench_start_shop DIR [BINARY]
#                             starts kestrin-shop (or BINARY) on the site; sets $shop_pid and
#                             $shop_base
#   bench_stop_shop           stops the last one started
#   bench_static NAME URL     saves the page at URL as NAME for nginx
#   bench_start_nginx         serves the saved pages; sets $nginx_base
#   bench_wrk URL CONNS SECONDS
#                             runs wrk; sets $rps, $p50 and $p99 (milliseconds) and $errors

bench_site_id=kestrin
bench_password=tolvaro27
large_group=B1
large_category=090

bench_pids=()
pg_state=""
pg_unavailable=""

bench_cleanup() {
  local pid
  for pid in "${bench_pids[@]}"; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  done
  [ -n "$pg_state" ] && scripts/pg-test-cluster stop "$pg_state" >/dev/null 2>&1 || true
  rm -rf "$work"
}

bench_init() {
  bench_name=$1
  build=$2
  ctl="$build/tools/kestrinctl/kestrinctl"
  shop="$build/shop/kestrin-shop"
  local tool
  for tool in wrk nginx curl sqlite3 python3; do
    command -v "$tool" >/dev/null ||
      { echo "$bench_name: $tool is missing (scripts/bootstrap installs it)"; exit 1; }
  done
  [ -x "$shop" ] && [ -x "$ctl" ] ||
    { echo "$bench_name: build kestrin-shop and kestrinctl first ($build)"; exit 1; }
  work=$(mktemp -d /tmp/kestrin-shop-bench-XXXXXX)
  trap bench_cleanup EXIT
  # A command that fails ends the run (set -e): say which.
  set -E
  trap 'echo "$bench_name: failed (status $?): $BASH_COMMAND" >&2' ERR
}

bench_free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

bench_pg_value() {
  sed -n "s/^$1=//p" "$pg_state" | head -n 1
}

bench_postgres() {
  pg_state="$work/postgres.env"
  scripts/pg-test-cluster start "$pg_state" >"$work/postgres.out" 2>&1 || true
  pg_unavailable=$(bench_pg_value KESTRIN_PG_UNAVAILABLE)
  if [ -n "$pg_unavailable" ] || [ -z "$(bench_pg_value KESTRIN_PG_SERVER)" ]; then
    [ -n "$pg_unavailable" ] || pg_unavailable=$(tail -n 3 "$work/postgres.out")
    return 1
  fi
}

# Runs SQL on one of a PostgreSQL site's databases as the server's administrator.
bench_psql() {
  local database=$1 sql=$2 server
  server=$(bench_pg_value KESTRIN_PG_SERVER)
  PGPASSWORD=$(bench_pg_value KESTRIN_PG_ADMIN_PASSWORD) psql -X -q -v ON_ERROR_STOP=1 \
    -h "${server%:*}" -p "${server##*:}" -U "$(bench_pg_value KESTRIN_PG_ADMIN_USER)" \
    -d "$database" -c "$sql" >/dev/null
}

# The prefix of a PostgreSQL site's database names: one per site folder.
bench_prefix() {
  echo "kl_$(basename "$1" | tr -c 'a-z0-9\n' '_')_"
}

bench_site() {
  local dir=$1 backend=$2
  local -a server=()
  if [ "$backend" = postgres ]; then
    server=(--server "$(bench_pg_value KESTRIN_PG_SERVER)"
      --db-user "$(bench_pg_value KESTRIN_PG_ENGINE_USER)"
      --db-password "$(bench_pg_value KESTRIN_PG_ENGINE_PASSWORD)"
      --admin-user "$(bench_pg_value KESTRIN_PG_ADMIN_USER)"
      --admin-password "$(bench_pg_value KESTRIN_PG_ADMIN_PASSWORD)"
      --db-prefix "$(bench_prefix "$dir")")
  fi
  "$ctl" site create "$dir" --site "$bench_site_id" --password "$bench_password" --demo \
    "${server[@]}" >/dev/null
}

# The generated products: part numbers BK-0000000 on, a drive description, a manufacturer part
# number, quantity, cost and status spread over the rows, the site's manufacturers in turn.
bench_add_products() {
  local dir=$1 backend=$2 count=$3
  local last=$((count - 1))
  local statuses="('', 0), ('1', 1), ('', 2), ('u', 3), ('', 4), ('p', 5)"
  local category="INSERT INTO comcat (grp, cat, descr) VALUES ('$large_group', '$large_category', 'Bulk Drives')"
  if [ "$backend" = sqlite ]; then
    sqlite3 "$dir/techdata.db" <<SQL
$category;
BEGIN;
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < $last),
  v AS (SELECT vend_code, row_number() OVER (ORDER BY vend_code) - 1 AS k,
               count(*) OVER () AS c FROM manuf),
  s(status, k) AS (VALUES $statuses)
INSERT INTO products (part_num, manu_part, descr, grp, cat, sub, vend_code, qty, cost, status)
SELECT printf('BK-%07d', i), printf('MP%06d', (i * 7919) % 1000000),
       printf('Bulk %dTB SATA Hard Drive, model %d', 1 + (i * 13) % 16, i),
       '$large_group', '$large_category', '', v.vend_code, (i * 37) % 200,
       20 + ((i * 7331) % 100000) / 100.0, s.status
FROM n JOIN v ON v.k = n.i % v.c JOIN s ON s.k = n.i % 6;
COMMIT;
ANALYZE;
SQL
  else
    local db
    db="$(bench_prefix "$dir")techdata"
    bench_psql "$db" "$category"
    bench_psql "$db" "
WITH v AS (SELECT vend_code, row_number() OVER (ORDER BY vend_code) - 1 AS k,
                  count(*) OVER () AS c FROM manuf),
  s(status, k) AS (VALUES $statuses)
INSERT INTO products (part_num, manu_part, descr, grp, cat, sub, vend_code, qty, cost, status)
SELECT 'BK-' || lpad(i::text, 7, '0'), 'MP' || lpad(((i * 7919) % 1000000)::text, 6, '0'),
       'Bulk ' || (1 + (i * 13) % 16) || 'TB SATA Hard Drive, model ' || i,
       '$large_group', '$large_category', '', v.vend_code, (i * 37) % 200,
       20 + ((i * 7331) % 100000) / 100.0, s.status
FROM generate_series(0, $last) AS n(i) JOIN v ON v.k = n.i % v.c JOIN s ON s.k = n.i % 6"
    bench_psql "$db" "ANALYZE"
  fi
}

bench_shops=0
bench_start_shop() {
  local dir=$1 binary=${2:-$shop} out
  bench_shops=$((bench_shops + 1))
  out="$work/shop-$bench_shops"
  "$binary" --app-path "$dir" --site "$bench_site_id" --password "$bench_password" --port 0 \
    --access-log /dev/null >"$out.out" 2>"$out.err" &
  shop_pid=$!
  bench_pids+=("$shop_pid")
  local port=""
  for _ in $(seq 1 200); do
    port=$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$out.out" 2>/dev/null | head -n 1)
    [ -n "$port" ] && break
    kill -0 "$shop_pid" 2>/dev/null || break
    sleep 0.05
  done
  [ -n "$port" ] || { echo "$bench_name: kestrin-shop did not start on $dir"; cat "$out.err"; exit 1; }
  shop_base="http://127.0.0.1:$port"
}

bench_stop_shop() {
  kill "$shop_pid" 2>/dev/null && wait "$shop_pid" 2>/dev/null || true
}

bench_static() {
  local name=$1 url=$2
  mkdir -p "$work/www"
  curl -sf -o "$work/www/$name" "$url"
}

bench_start_nginx() {
  local port
  port=$(bench_free_port)
  mkdir -p "$work/tmp" "$work/www"
  # nginx's workers run as an unprivileged user: they must be able to read the pages.
  chmod 755 "$work" "$work/www"
  chmod 644 "$work/www"/* 2>/dev/null || true
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
    listen 127.0.0.1:$port;
    root $work/www;
    default_type text/html;
  }
}
CONF
  nginx -c "$work/nginx.conf" -p "$work" &
  bench_pids+=("$!")
  nginx_base="http://127.0.0.1:$port"
  local first
  first=$(ls "$work/www" | head -n 1)
  for _ in $(seq 1 100); do
    curl -sf -o /dev/null "$nginx_base/$first" && return 0
    sleep 0.05
  done
  echo "$bench_name: nginx did not start"
  cat "$work/nginx-error.log"
  exit 1
}

# wrk's latency ("850.00us", "1.23ms", "2.01s") in milliseconds.
bench_ms() {
  awk -v t="$1" 'BEGIN {
    v = t + 0
    if (t ~ /us$/) v /= 1000; else if (t ~ /ms$/) v = v; else if (t ~ /m$/) v *= 60000;
    else if (t ~ /s$/) v *= 1000
    printf "%.2f", v }'
}

bench_wrk() {
  local url=$1 conns=$2 seconds=$3 out
  out=$(wrk -t2 -c"$conns" -d"${seconds}s" --latency "$url")
  rps=$(awk '/^Requests\/sec:/ {printf "%.0f", $2}' <<<"$out")
  p50=$(bench_ms "$(awk '$1=="50%" {print $2}' <<<"$out")")
  p99=$(bench_ms "$(awk '$1=="99%" {print $2}' <<<"$out")")
  errors=$(awk '/Non-2xx|Socket errors/ {$1=$1; printf "%s ", $0}' <<<"$out")
}

# Fetches a page a few times first, so that the first measured request finds warm caches.
bench_warm() {
  local url=$1
  for _ in 1 2 3; do curl -sf -o /dev/null "$url" || return 1; done
}
