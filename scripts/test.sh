#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test, in four builds:
#   build/       every test: unit, integration (network namespaces), benchmark smoke runs
#   build-asan/  every test but the benchmarks under AddressSanitizer (with its leak
#                check) and UndefinedBehaviorSanitizer
#   build-tsan/  the engine, platform and integration tests under ThreadSanitizer
#   build-fuzz/  the libFuzzer targets (codec readers, the provider's reading of a
#                query) for a bounded time each
# A sanitizer report of any process fails the run, also of one whose exit status no
# test looks at: sanitized processes write their reports to files, checked after each run.
# Every build treats compiler warnings as errors.
#
#   scripts/test.sh [--quick]    --quick: the normal build and its tests only
set -euo pipefail
cd "$(dirname "$0")/.."
quick=0
case "${1:-}" in
    --quick) quick=1 ;;
    "") ;;
    *) echo "usage: scripts/test.sh [--quick]" >&2; exit 2 ;;
esac
bash scripts/setup.sh
jobs=$(nproc)
reports=$(mktemp -d)
trap 'rm -rf "$reports"' EXIT

# run_tests BUILD_DIR [CTEST_ARGS...]: ctest, then the sanitizer reports written meanwhile.
run_tests() {
    local dir=$1 status=0
    shift
    (cd "$dir" && ctest --output-on-failure -j"$jobs" --timeout 300 "$@") || status=$?
    if compgen -G "$reports/*" > /dev/null; then
        echo "sanitizer reports in $dir:" >&2
        cat "$reports"/* >&2
        rm -f "$reports"/*
        status=1
    fi
    [ "$status" -eq 0 ] || { echo "FAILED: tests in $dir" >&2; exit 1; }
}

configure() {  # configure BUILD_DIR [CMAKE_ARGS...]
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DBRIMVALE_WERROR=ON "$@"
}

configure build
cmake --build build -j"$jobs"
run_tests build
[ "$quick" -eq 1 ] && exit 0

configure build-asan -DBRIMVALE_SANITIZE=ON
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS="log_path=$reports/asan" LSAN_OPTIONS=print_suppressions=0 \
UBSAN_OPTIONS="print_stacktrace=1:log_path=$reports/ubsan" \
  run_tests build-asan -LE bench

configure build-tsan -DBRIMVALE_SANITIZE_THREAD=ON
cmake --build build-tsan -j"$jobs"
TSAN_OPTIONS="log_path=$reports/tsan" run_tests build-tsan -L 'engine|platform|integration'

CC=clang CXX=clang++ configure build-fuzz -DBRIMVALE_FUZZ=ON -DBRIMVALE_SANITIZE=ON
cmake --build build-fuzz -j"$jobs" --target dnsUdpReaderFuzzer dnsTcpReaderFuzzer providerQueryFuzzer
run_tests build-fuzz -L fuzz
