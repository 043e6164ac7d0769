#!/bin/sh
# Runs a fuzzer for a bounded time over a scratch copy of its seed corpus, so the checkout
# stays unchanged. Fails on any crash, leak or sanitizer report; a failing input is kept in
# the current directory.
# Usage: run_fuzzer.sh FUZZER CORPUS_DIR SECONDS
set -eu
fuzzer=$1 corpus=$2 seconds=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/corpus"
cp "$corpus"/* "$scratch/corpus/"
"$fuzzer" -max_total_time="$seconds" -timeout=10 -max_len=8192 -print_final_stats=1 \
  -artifact_prefix="./$(basename "$fuzzer")-" "$scratch/corpus"
