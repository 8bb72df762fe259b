#!/bin/bash
# Stops the fault server started with the same STATE_DIR.
exec "$(dirname "$0")/pyserver-stop.sh" "fault server" "$1"
