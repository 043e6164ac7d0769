#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test: unit and integration
# tests, the codec under AddressSanitizer/UBSan, and the codec fuzzers for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs" --timeout 300)

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DBRIMVALE_CODEC_ONLY=ON -DBRIMVALE_SANITIZE=ON
cmake --build build-asan -j"$jobs"
(cd build-asan && ctest --output-on-failure -j"$jobs" --timeout 300 -LE bench)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja \
  -DBRIMVALE_CODEC_ONLY=ON -DBRIMVALE_FUZZ=ON -DBRIMVALE_SANITIZE=ON
cmake --build build-fuzz -j"$jobs"
(cd build-fuzz && ctest --output-on-failure -j"$jobs" --timeout 300 -L fuzz)
