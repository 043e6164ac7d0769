#!/bin/bash
# app/run-local.sh without a terminal: it answers a few queries, and the logs and the
# screen it names are still there when it has ended.
#   run_local_test.sh PATH_TO_VELMORA   (inside netns-run.sh)
set -eu
build=$(cd "$(dirname "$1")/../../.." && pwd)
out=$(bash "$(dirname "$0")/../../app/run-local.sh" "$build" < /dev/null 2>&1) || { echo "$out"; exit 1; }
fail() { echo "FAIL: $*"; echo "$out"; exit 1; }
echo "$out" | grep -q "www.example.test -> 192.0.2.10" || fail "no answer"
folder=$(echo "$out" | sed -n 's/.*log \(\/tmp\/brimvale-it-[^/]*\)\/velmora\.log.*/\1/p' | head -n 1)
[ -n "$folder" ] || fail "no log named"
trap 'rm -rf "$folder"' EXIT
for file in velmora.log app.log state/Screen.png; do
    [ -s "$folder/$file" ] || fail "$folder/$file is gone"
done
echo "ok: the logs and the screen it named are kept in $folder"
