#!/bin/bash
# Stops the Python test server started with the same STATE_DIR.
#   pyserver-stop.sh LABEL STATE_DIR
set -u
label=$1
state=$2
[ -s "$state/server.pid" ] || exit 0
kill "$(cat "$state/server.pid")" 2>/dev/null || true
rm -f "$state/server.pid" "$state/port" "$state/url"
echo "$label stopped"
