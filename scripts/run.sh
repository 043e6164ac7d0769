#!/usr/bin/env bash
# Sets up the machine, builds the app bundle and runs the whole system locally:
# the Brimvale app enables the Velmora extension, whose host process answers DNS,
# with local stand-ins for the filtering service, the system resolver and the probe.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build -j"$(nproc)" --target Brimvale Velmora
exec bash app/run-local.sh build
