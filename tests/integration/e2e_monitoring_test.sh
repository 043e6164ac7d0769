#!/usr/bin/env bash
# Safe-network probe, network events, the filtering service's headers and cookie, a
# dead service, and the report upload, end to end (see e2e_monitoring.py).
#   e2e_monitoring_test.sh PATH/TO/Velmora
set -eu
exec python3 "$(dirname "$0")/e2e_monitoring.py" "$1"
