#!/bin/bash
# Stops an nginx started by nginx-start.sh with the same STATE_DIR.
set -u
state=$1
[ -s "$state/nginx.pid" ] || exit 0
pid=$(cat "$state/nginx.pid")
kill -QUIT "$pid" 2>/dev/null || exit 0
for i in $(seq 1 50); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -KILL "$pid" 2>/dev/null || true
rm -f "$state/nginx.pid" "$state/port" "$state/url"
echo "nginx stopped"
