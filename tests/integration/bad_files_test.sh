#!/bin/bash
# The extension's host process against bad files and a flood: --config files that are
# no regular file, nested too deep or no JSON end the start at once with the reason;
# preferences nested too deep are refused with the reason, at start and each time the
# file is replaced, while the process runs on; 300 declined TCP connections cost a few
# log lines, with the rest counted.
#   bad_files_test.sh PATH_TO_VELMORA   (inside netns-run.sh)
. "$(dirname "$0")/lib.sh"
velmora=$1

export BRIMVALE_STATE_DIR="$IT_DIR/state" BRIMVALE_LOG_LEVEL=info
prefs=$BRIMVALE_STATE_DIR/System/DNSProxy.plist
mkdir -p "$(dirname "$prefs")"
log=$IT_DIR/velmora.log

deep_plist() { python3 -c 'n = 200000; print("<plist>" + "<array>" * n + "</array>" * n + "</plist>")'; }
replace_prefs() { cat > "$prefs.new" && mv "$prefs.new" "$prefs"; }

# Exits with status 2 and REASON after the file's name, within 10 s (a busy machine).
#   expect_config_refused FILE REASON
expect_config_refused() {
    status=0
    timeout 10 "$velmora" --listen 127.0.0.1:53 --resolver 127.0.0.2 --config "$1" > "$IT_DIR/config.log" 2>&1 ||
        status=$?
    [ "$status" = 2 ] || it_fail "--config $1: exit status $status"
    grep -qF -- "$1: $2" "$IT_DIR/config.log" || it_fail "--config $1: not refused with \"$2\""
}
mkfifo "$IT_DIR/fifo.json"
python3 -c 'print("{\"region\": " + "[" * 5000000)' > "$IT_DIR/deep.json"
printf '{"userName": "ios",\n "region": }' > "$IT_DIR/syntax.json"
expect_config_refused /dev/zero "not a regular file"
expect_config_refused "$IT_DIR/fifo.json" "not a regular file"
expect_config_refused "$IT_DIR/deep.json" "JSON nested deeper than 512 levels"
expect_config_refused "$IT_DIR/syntax.json" "JSON parse error at line 2, column 12: syntax error"
it_pass "bad --config files refused with the reason"

deep_plist | replace_prefs
"$velmora" --listen 127.0.0.1:53 --resolver 127.0.0.2 > "$log" 2>&1 &
velmora_pid=$!
IT_PIDS="$IT_PIDS $velmora_pid"
refusal="Cannot read the DNS proxy preferences: unreadable preferences $prefs: nested deeper than 512 levels"
it_wait_for_log "$log" "$refusal"
it_pass "deep preferences refused at start"

it_proxy_preferences serverAddress dns.brimvale.example userName alice | replace_prefs
it_wait_for_log "$log" "Proxy started"
refusals=$(grep -c -- "$refusal" "$log")
deep_plist | replace_prefs
it_wait_for_log "$log" "$refusal" $((refusals + 1))
sleep 0.5
kill -0 "$velmora_pid" 2>/dev/null || it_fail "died after the preferences were replaced"
it_pass "deep preferences refused when replaced; the proxy runs on"

connections=300
started=$(date +%s)
for _ in $(seq $connections); do
    (exec 3<>/dev/tcp/127.0.0.1/53) 2>/dev/null || true
done
sleep 1.5
kill -TERM "$velmora_pid"
status=0
wait "$velmora_pid" || status=$?
[ "$status" = 0 ] || it_fail "exit status $status after SIGTERM"
written=$(grep -c "TCP DNS not implemented yet" "$log")
counted=$(grep ":dnsflow\] last message repeated" "$log" | awk '{ sum += $(NF - 1) } END { print sum + 0 }')
[ $((written + counted)) = $connections ] || it_fail "$written lines and $counted counted for $connections declines"
# Repeats are folded once a second: a line a second at most, however slow the machine.
seconds=$(($(date +%s) - started))
[ "$written" -le $((seconds + 2)) ] || it_fail "$written lines in ${seconds}s for $connections declines"
it_pass "$connections declines: $written lines, $counted counted"
