#!/bin/bash
# Starts one of the Python test servers of this folder in the background on
# a free loopback port and waits until it has written STATE_DIR/url.
#   pyserver-start.sh LABEL SCRIPT STATE_DIR
set -eu
label=$1
here=$(cd "$(dirname "$0")" && pwd)
script="$here/$2"
state=$(mkdir -p "$3" && cd "$3" && pwd)
"$here/pyserver-stop.sh" "$label" "$state" >/dev/null 2>&1 || true
rm -f "$state/port" "$state/url"
setsid python3 "$script" "$state" >"$state/server.log" 2>&1 < /dev/null &
echo $! > "$state/server.pid"
for i in $(seq 1 100); do
  if [ -s "$state/url" ]; then
    echo "$label at $(cat "$state/url")"
    exit 0
  fi
  kill -0 "$(cat "$state/server.pid")" 2>/dev/null || break
  sleep 0.1
done
echo "$label did not start; see $state/server.log" >&2
exit 1
