#!/bin/bash
# The extension's host process as a DNS proxy: queries pass through to the
# system-assigned resolver, TCP is declined, the start comes from the saved DNS proxy
# preferences, the descriptor limit is raised, and SIGTERM ends the process cleanly.
#   passthrough_test.sh PATH_TO_VELMORA   (inside netns-run.sh)
. "$(dirname "$0")/lib.sh"
velmora=$1

it_start_unbound 127.0.0.2

export BRIMVALE_STATE_DIR="$IT_DIR/state" BRIMVALE_LOG_LEVEL=debug
mkdir -p "$BRIMVALE_STATE_DIR/System"
it_proxy_preferences deviceName Brimvale serverAddress dns.brimvale.example macAddress aa:bb:cc:dd:ee:ff \
    deviceId dev-1 userName alice region syd-1 bypassDomains bypass.example.test \
    > "$BRIMVALE_STATE_DIR/System/DNSProxy.plist"

# The probe host finds a safe network, so filtering stays off.
echo 200 > "$IT_DIR/probe-status"
it_background python3 "$(dirname "$0")/servers/probe_server.py" --address 127.0.0.4 --port 80 \
    --status-file "$IT_DIR/probe-status" --log "$IT_DIR/probe-requests.log"
it_wait_for_tcp 127.0.0.4 80

# Started with a low soft descriptor limit, which it raises to the hard one.
(ulimit -Sn 256 2>/dev/null; exec "$velmora" --listen 127.0.0.1:53 --resolver 127.0.0.2 \
    --resolve probe.brimvale.example:80:127.0.0.4) > "$IT_DIR/velmora.log" 2>&1 &
velmora_pid=$!
IT_PIDS="$IT_PIDS $velmora_pid"
it_wait_for_dns 127.0.0.1

read -r soft hard < <(awk '/^Max open files/ { print $4, $5 }' "/proc/$velmora_pid/limits")
[ "$soft" = "$hard" ] || it_fail "descriptor limit $soft left below $hard"
it_pass "descriptor limit raised to $hard"

[ "$(it_query @127.0.0.1 www.example.test A)" = 192.0.2.10 ] || it_fail "passthrough answer"
it_pass "passthrough answers"
grep -q "Using system-assigned DNS setting: 127.0.0.2" "$IT_DIR/velmora.log" || it_fail "not passed through"

result=$(it_query @127.0.0.1 +tcp www.example.test A)
case "$result" in 192.0.2.*) it_fail "TCP query was answered" ;; esac
grep -q "TCP DNS not implemented yet" "$IT_DIR/velmora.log" || it_fail "TCP decline not logged"
it_pass "TCP declined ($result)"

grep -q "Updating user defaults from config payload" "$IT_DIR/velmora.log" || it_fail "not started from preferences"
grep -q "<string>alice</string>" "$BRIMVALE_STATE_DIR/AppGroups/group.com.brimvale.ios-dns-group.plist" ||
    it_fail "settings store not written"
it_pass "started from the preferences"

kill -TERM "$velmora_pid"
status=0
wait "$velmora_pid" || status=$?
[ "$status" = 0 ] || it_fail "exit status $status after SIGTERM"
grep -q "Stopping proxy" "$IT_DIR/velmora.log" || it_fail "stop not logged"
it_pass "SIGTERM stops cleanly"
