#!/bin/bash
# Stops the message server started with the same STATE_DIR.
exec "$(dirname "$0")/pyserver-stop.sh" "message server" "$1"
