# Sourced by the benchmarks: serves WORK/root with nginx on a free loopback port.
# Sets `port` and `nginx_pid`; the caller stops nginx when it ends.
start_bench_nginx() {
  local work=$1 user=""
  mkdir -p "$work/nginx"
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  [[ $(id -u) -eq 0 ]] && user="user root;"
  cat > "$work/nginx/nginx.conf" <<CONF
$user
daemon off;
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  default_type application/octet-stream;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  server { listen 127.0.0.1:$port; root $work/root; }
}
CONF
  /usr/sbin/nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" &
  nginx_pid=$!
  for _ in $(seq 100); do
    curl -s -o /dev/null "http://127.0.0.1:$port/" && break
    sleep 0.05
  done
}
