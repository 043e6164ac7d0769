#!/bin/bash
# The extension's host process stops cleanly on SIGTERM, SIGINT and SIGHUP: while it
# runs, and when the signal is already pending as it starts, as one sent in its first
# moments is.
#   signals_test.sh PATH_TO_VELMORA   (inside netns-run.sh)
. "$(dirname "$0")/lib.sh"
velmora=$1

export BRIMVALE_STATE_DIR="$IT_DIR/state" BRIMVALE_LOG_LEVEL=info
config=$IT_DIR/config.json
echo '{"serverAddress": "dns.brimvale.example", "userName": "alice"}' > "$config"

# Runs COMMAND with SIGNAL blocked and pending: a blocked signal stays pending across
# exec. Not ignored, as a background job's SIGINT would be, which would drop it.
#   with_pending SIGNAL COMMAND...
with_pending() {
    python3 -c 'import os, signal, sys
number = signal.Signals["SIG" + sys.argv[1]]
signal.pthread_sigmask(signal.SIG_BLOCK, [number])
signal.signal(number, signal.SIG_DFL)
os.kill(os.getpid(), number)
os.execv(sys.argv[2], sys.argv[2:])' "$@"
}

# Waits up to 10 s for the process PID to end, then checks its status and its LOG.
#   expect_clean_stop PID LOG WHAT
expect_clean_stop() {
    for _ in $(seq 100); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$1" 2>/dev/null && it_fail "$3: still running"
    status=0
    wait "$1" || status=$?
    [ "$status" = 0 ] || it_fail "$3: exit status $status"
    grep -q "Stopping proxy" "$2" && grep -q "Proxy stopped" "$2" || it_fail "$3: not stopped cleanly"
    it_pass "$3: stopped cleanly"
}

host=("$velmora" --listen 127.0.0.1:53 --resolver 127.0.0.2 --config "$config")
for signal in TERM INT HUP; do
    log=$IT_DIR/running-$signal.log
    "${host[@]}" > "$log" 2>&1 &
    pid=$!
    IT_PIDS="$IT_PIDS $pid"
    it_wait_for_log "$log" "Proxy started"
    kill -"$signal" "$pid"
    expect_clean_stop "$pid" "$log" "SIG$signal while running"

    log=$IT_DIR/pending-$signal.log
    with_pending "$signal" "${host[@]}" > "$log" 2>&1 &
    pid=$!
    IT_PIDS="$IT_PIDS $pid"
    expect_clean_stop "$pid" "$log" "SIG$signal pending at the start"
done
