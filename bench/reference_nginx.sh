# Sourced by the benchmark scripts: the reference server, a private nginx
# whose configuration, pid and logs live in a temporary folder.
#   nginx_start DIR PORT WORKERS 'SERVER BLOCK BODY' [LAUNCHER...]
# starts it on 127.0.0.1:PORT (LAUNCHER, e.g. "taskset -c 0", runs it);
# nginx_stop DIR ends it.
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
