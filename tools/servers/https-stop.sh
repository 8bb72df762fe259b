#!/bin/bash
# Stops the server of https-start.sh with the same STATE_DIR and takes its
# test CA out of the machine's trust store again.
set -u
state=$1
here=$(cd "$(dirname "$0")" && pwd)
"$here/nginx-stop.sh" "$state" >/dev/null 2>&1 || true
if [ -s "$state/ca-name" ]; then
  rm -f "/usr/local/share/ca-certificates/$(cat "$state/ca-name")"
  update-ca-certificates >/dev/null 2>&1 || true
  rm -f "$state/ca-name"
fi
echo "https server stopped"
