#!/bin/bash
# Stops the message server started with the same STATE_DIR.
set -u
state=$1
[ -s "$state/server.pid" ] || exit 0
kill "$(cat "$state/server.pid")" 2>/dev/null || true
rm -f "$state/server.pid" "$state/port" "$state/url"
echo "message server stopped"
