#!/bin/bash
# Serves a folder over HTTP with nginx on a loopback port, in the background.
#   demo-server.sh start ROOT PORT STATEDIR   -> prints the base URL
#   demo-server.sh stop STATEDIR
set -euo pipefail
cmd=$1
case "$cmd" in
  start)
    root=$(cd "$2" && pwd); port=$3; state=$4
    mkdir -p "$state"
    cat > "$state/nginx.conf" <<CONF
worker_processes 1;
daemon on;
pid $state/nginx.pid;
error_log $state/error.log warn;
events { worker_connections 256; }
http {
  access_log $state/access.log;
  client_body_temp_path $state/body;
  proxy_temp_path $state/proxy;
  fastcgi_temp_path $state/fastcgi;
  uwsgi_temp_path $state/uwsgi;
  scgi_temp_path $state/scgi;
  types { text/xml xml; application/zip zip; application/octet-stream bin exe dll dat; }
  default_type application/octet-stream;
  server {
    listen 127.0.0.1:$port;
    root $root;
    location / { }
  }
}
CONF
    [ -s "$state/nginx.pid" ] && kill "$(cat "$state/nginx.pid")" 2>/dev/null || true
    /usr/sbin/nginx -c "$state/nginx.conf" -p "$state" 2>/dev/null
    echo "http://127.0.0.1:$port/"
    ;;
  stop)
    state=$2
    if [ -s "$state/nginx.pid" ]; then kill "$(cat "$state/nginx.pid")" 2>/dev/null || true; rm -f "$state/nginx.pid"; fi
    ;;
  *) echo "usage: $0 start ROOT PORT STATEDIR | stop STATEDIR" >&2; exit 2 ;;
esac
