#!/bin/bash
# Stops the digest service started by checkservice-start.sh.
state=$1
[ -s "$state/pid" ] || exit 0
kill "$(cat "$state/pid")" 2>/dev/null || true
rm -f "$state/pid"
