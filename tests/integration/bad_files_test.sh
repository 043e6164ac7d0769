#!/bin/bash
# The extension's host process against bad files and a flood: preferences nested too
# deep are refused with the reason, at start and each time the file is replaced,
# while the process runs on; 300 declined TCP connections cost a few log lines, with
# the rest counted.
#   bad_files_test.sh PATH_TO_VELMORA   (inside netns-run.sh)
. "$(dirname "$0")/lib.sh"
velmora=$1

export BRIMVALE_STATE_DIR="$IT_DIR/state" BRIMVALE_LOG_LEVEL=info
prefs=$BRIMVALE_STATE_DIR/System/DNSProxy.plist
mkdir -p "$(dirname "$prefs")"
log=$IT_DIR/velmora.log

deep_plist() { python3 -c 'n = 200000; print("<plist>" + "<array>" * n + "</array>" * n + "</plist>")'; }
replace_prefs() { cat > "$prefs.new" && mv "$prefs.new" "$prefs"; }

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
[ "$written" -le 10 ] || it_fail "$written lines for $connections declines"
it_pass "$connections declines: $written lines, $counted counted"
