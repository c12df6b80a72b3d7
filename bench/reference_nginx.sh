# Sourced by the benchmark scripts: the reference server, a private nginx
# whose configuration, pid and logs live in a temporary folder, and the
# scripts' own set-up and clean-up.
#   nginx_start DIR PORT WORKERS 'SERVER BLOCK BODY' [LAUNCHER...]
# starts it on 127.0.0.1:PORT (LAUNCHER, e.g. "taskset -c 0", runs it);
# nginx_stop DIR ends it.
#   bench_begin
# makes the temporary folder $work and, on any exit, ends the server whose
# pid the script put in $server_pid and the reference nginx, then removes it.
#   bench_port FILE NAME
# waits (5 s at most) for the "port N" line the server NAME writes to FILE
# once it listens, and prints N.
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$nginx_bin" ] || { echo "nginx is missing (Debian package nginx-light)" >&2; exit 1; }

nginx_start() {
  dir="$1" port="$2" workers="$3" body="$4"
  shift 4
  mkdir -p "$dir/logs"
  cat > "$dir/nginx.conf" <<CONF
worker_processes $workers;
pid $dir/nginx.pid;
error_log $dir/logs/error.log warn;
events { worker_connections 1024; }
http {
  access_log off;
  sendfile on;
  keepalive_requests 10000000;
  client_body_temp_path $dir/body;
  proxy_temp_path $dir/proxy;
  fastcgi_temp_path $dir/fastcgi;
  uwsgi_temp_path $dir/uwsgi;
  scgi_temp_path $dir/scgi;
  server {
    listen 127.0.0.1:$port;
    $body
  }
}
CONF
  "$@" "$nginx_bin" -p "$dir" -e "$dir/logs/error.log" -c "$dir/nginx.conf"
}

nginx_stop() {
  [ -f "$1/nginx.pid" ] && kill "$(cat "$1/nginx.pid")" 2>/dev/null
  return 0
}

bench_begin() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/tunelet-bench.XXXXXX")
  server_pid=""
  trap bench_end EXIT INT TERM
}

bench_end() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  nginx_stop "$work"
  # nginx's workers are gone a moment after it is told to stop.
  sleep 0.3
  rm -rf "$work"
}

bench_port() {
  for _ in $(seq 100); do grep -q '^port' "$1" 2>/dev/null && break; sleep 0.05; done
  port=$(awk '/^port/ { print $2; exit }' "$1")
  [ -n "$port" ] || { echo "$2 did not start" >&2; return 1; }
  echo "$port"
}
