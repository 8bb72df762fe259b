#!/bin/bash
# Starts faultserver.py in the background on a free loopback port.
#   faultserver-start.sh STATE_DIR
exec "$(dirname "$0")/pyserver-start.sh" "fault server" faultserver.py "$1"
