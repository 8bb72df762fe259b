#!/bin/bash
# Starts faultserver.py in the background on a free loopback port.
#   faultserver-start.sh STATE_DIR
set -eu
state=$(mkdir -p "$1" && cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
"$here/faultserver-stop.sh" "$state" >/dev/null 2>&1 || true
rm -f "$state/port" "$state/url"
setsid python3 "$here/faultserver.py" "$state" >"$state/server.log" 2>&1 < /dev/null &
echo $! > "$state/server.pid"
for i in $(seq 1 100); do
  if [ -s "$state/url" ]; then
    echo "fault server at $(cat "$state/url")"
    exit 0
  fi
  kill -0 "$(cat "$state/server.pid")" 2>/dev/null || break
  sleep 0.1
done
echo "fault server did not start; see $state/server.log" >&2
exit 1
