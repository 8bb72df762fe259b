#!/bin/bash
# Starts messageserver.py in the background on a free loopback port (or
# MESSAGE_PORT); it ends by itself after MESSAGE_LIFETIME seconds.
#   messageserver-start.sh STATE_DIR
set -eu
state=$(mkdir -p "$1" && cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
"$here/messageserver-stop.sh" "$state" >/dev/null 2>&1 || true
rm -f "$state/port" "$state/url" "$state/requests.log"
rm -rf "$state/messages" "$state/owned"
setsid python3 "$here/messageserver.py" "$state" >"$state/server.log" 2>&1 < /dev/null &
echo $! > "$state/server.pid"
for i in $(seq 1 100); do
  if [ -s "$state/url" ]; then
    echo "message server at $(cat "$state/url")"
    exit 0
  fi
  kill -0 "$(cat "$state/server.pid")" 2>/dev/null || break
  sleep 0.1
done
echo "message server did not start; see $state/server.log" >&2
exit 1
