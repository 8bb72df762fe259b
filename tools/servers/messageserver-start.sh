#!/bin/bash
# Starts messageserver.py in the background on a free loopback port (or
# MESSAGE_PORT), with no message lists, no owned products and an empty
# request log; it ends by itself after MESSAGE_LIFETIME seconds.
#   messageserver-start.sh STATE_DIR
set -eu
mkdir -p "$1"
rm -rf "$1/messages" "$1/owned" "$1/requests.log"
exec "$(dirname "$0")/pyserver-start.sh" "message server" messageserver.py "$1"
