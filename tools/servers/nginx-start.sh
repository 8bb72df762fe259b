#!/bin/bash
# Starts Debian's nginx on a free loopback port, as a test or benchmark web
# server for the update engine.
#
#   nginx-start.sh STATE_DIR DOCROOT [RATE]
#
# STATE_DIR gets the generated configuration, logs, pid file and the files
# "port" and "url" (base URL with a trailing slash). DOCROOT is served at
# "/"; the same tree is served at "/limited/" with each connection limited to
# RATE bytes per second (nginx limit_rate syntax, default 1m), and at
# "/gzip-always/" with "gzip_static always" (a file's ".gz" is sent in its
# place, compressed, whatever the client asked for). Ranges and
# 404s are nginx's own. With NGINX_PORT set, that port is used instead of a
# free one (the demo product's configuration names a fixed port).
set -eu
state=$(mkdir -p "$1" && cd "$1" && pwd)
docroot=$(mkdir -p "$2" && cd "$2" && pwd)
rate=${3:-1m}
here=$(cd "$(dirname "$0")" && pwd)
nginx=${NGINX:-/usr/sbin/nginx}

"$here/nginx-stop.sh" "$state" >/dev/null 2>&1 || true
mkdir -p "$state/temp"
rm -f "$state/port" "$state/url" "$state/access.log" "$state/connections.log"
user_line=""
[ "$(id -u)" = 0 ] && user_line="user root root;"

for try in 1 2 3 4 5; do
  port=${NGINX_PORT:-$(python3 "$here/free-port.py")}
  cat > "$state/nginx.conf" <<CONF
$user_line
worker_processes 2;
daemon on;
pid $state/nginx.pid;
error_log $state/error.log warn;
events { worker_connections 1024; }
http {
  # Tests read which files were asked for (and which were not) here.
  log_format mirefold '\$status \$request_method \$uri';
  access_log $state/access.log mirefold;
  # Benchmarks count connections here: the connection's serial number, then
  # the request's number on it.
  log_format mirefold_connections '\$connection \$connection_requests \$status \$uri';
  access_log $state/connections.log mirefold_connections;
  sendfile on;
  tcp_nopush on;
  keepalive_timeout 30;
  default_type application/octet-stream;
  client_body_temp_path $state/temp/body;
  proxy_temp_path $state/temp/proxy;
  fastcgi_temp_path $state/temp/fastcgi;
  uwsgi_temp_path $state/temp/uwsgi;
  scgi_temp_path $state/temp/scgi;
  server {
    listen 127.0.0.1:$port;
    server_name localhost;
    root $docroot;
    location /limited/ {
      alias $docroot/;
      limit_rate $rate;
    }
    # A server that compresses unasked: "<file>.gz", where it exists, is
    # sent instead of the file, with "Content-Encoding: gzip".
    location /gzip-always/ {
      alias $docroot/;
      gzip_static always;
    }
  }
}
CONF
  if "$nginx" -p "$state" -c "$state/nginx.conf" -e "$state/error.log" 2>>"$state/error.log"; then
    for i in $(seq 1 50); do
      if [ -s "$state/nginx.pid" ] && python3 - "$port" <<'PY'
import socket, sys
socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=1).close()
PY
      then
        echo "$port" > "$state/port"
        echo "http://127.0.0.1:$port/" > "$state/url"
        echo "nginx serving $docroot at http://127.0.0.1:$port/"
        exit 0
      fi
      sleep 0.1
    done
  fi
  "$here/nginx-stop.sh" "$state" >/dev/null 2>&1 || true
done
echo "nginx did not start; see $state/error.log" >&2
exit 1
