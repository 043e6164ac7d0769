#!/bin/bash
# A local flood and oversized queries on both roads: the host process keeps its memory
# bounded and answers again at once when the flood ends.
# Under a sanitizer the process is slower and its memory not its own: only that it
# answers again is checked there.
#   overload_test.sh PATH_TO_VELMORA   (inside netns-run.sh)
. "$(dirname "$0")/lib.sh"
velmora=$1
: "${UDP_FLOOD:?the flood sender}"
sanitized=${ASAN_OPTIONS:-}${TSAN_OPTIONS:-}
peak_limit_kb=$((200 * 1024)) answer_within=1 attempts=1 address_space="ulimit -v $((3 * 1024 * 1024))"
[ -z "$sanitized" ] || { answer_within=5 attempts=3 address_space=:; }

it_start_unbound 127.0.0.2
it_make_certificate dns.brimvale.example
it_start_dnsdist 127.0.0.3 dns.brimvale.example 127.0.0.2:53
it_background python3 "$(dirname "$0")/servers/probe_server.py" --address 127.0.0.4 --port 80 \
    --status-file "$IT_DIR/probe-status" --log "$IT_DIR/probe-requests.log"
it_wait_for_tcp 127.0.0.4 80

export BRIMVALE_STATE_DIR="$IT_DIR/state" BRIMVALE_LOG_LEVEL=info
export BRIMVALE_RESOLVE="dns.brimvale.example:443:127.0.0.3,probe.brimvale.example:80:127.0.0.4"
export BRIMVALE_CA_BUNDLE="$IT_DIR/dns.brimvale.example.pem"
echo '{"deviceName": "it", "serverAddress": "dns.brimvale.example", "macAddress": "aa:bb:cc:dd:ee:ff",
 "deviceId": "dev-1", "userName": "alice", "region": "syd-1", "bypassDomains": ""}' > "$IT_DIR/config.json"

# Answered within a second. Made once the flood has stopped for 0.3 s: its last queries
# hold the passthrough road's room for up to 0.2 s, as the newest queries would. Under a
# sanitizer the 10,000 queries the flood left in flight can take longer than that to
# drain, and a query made meanwhile is dropped: it asks again, up to three times.
answered_at_once() {
    for _ in $(seq "$attempts"); do
        [ "$(kdig @127.0.0.1 www.example.test A +timeout=$answer_within +retry=0 2>&1 |
            awk '$1 !~ /^;/ && $4 == "A" { print $5; exit }')" = 192.0.2.10 ] && return 0
    done
    return 1
}

# One host process per road, started with the probe's answer that picks it, its address
# space capped at 3 GiB as the device would cap it.
#   road NAME PROBE_STATUS
road() {
    echo "$2" > "$IT_DIR/probe-status"
    : > "$IT_DIR/probe-requests.log"
    log=$IT_DIR/velmora-$1.log
    ($address_space; exec "$velmora" --listen 127.0.0.1:53 --resolver 127.0.0.2 \
        --config "$IT_DIR/config.json") > "$log" 2>&1 &
    pid=$!
    IT_PIDS="$IT_PIDS $pid"
    it_wait_for_log "$IT_DIR/probe-requests.log" "GET"
    sleep 0.5
    answered_at_once || it_fail "$1: no answer before the flood"

    sent=$("$UDP_FLOOD" 127.0.0.1 53 3 0 2)
    sleep 0.3
    answered_at_once || it_fail "$1: no answer within 1 s after a flood of $sent queries"
    it_pass "$1: answered at once after 3 s of $sent queries from two senders"

    sent=$("$UDP_FLOOD" 127.0.0.1 53 6 65507 1)
    sleep 0.3
    answered_at_once || it_fail "$1: no answer within 1 s after $sent queries of 64 KB"
    it_pass "$1: answered at once after 6 s of $sent queries of 64 KB"

    kill -0 "$pid" || it_fail "$1: the host process ended"
    peak=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status")
    [ -n "$sanitized" ] || [ "$peak" -lt "$peak_limit_kb" ] || it_fail "$1: peak resident size $peak kB"
    it_pass "$1: peak resident size $((peak / 1024)) MB"
    grep -q "Dropped .* queries" "$log" || it_fail "$1: the dropped queries were not counted"
    kill -TERM "$pid"
    wait "$pid" || it_fail "$1: exit status $? after SIGTERM"
}

road https 500
road passthrough 200
