#!/bin/bash
# Configuration values as a deployment gives them, one host process per value, from a
# JSON or property-list --config: server addresses with a final dot or an underscore
# reach the filtering service (dnsdist over DNS-over-HTTPS); one that no URL can take is
# refused, its queries pass through, and the host app's next launch still finds the
# deployment's settings in the store, not the defaults.
#   configuration_values_test.sh PATH_TO_VELMORA   (inside netns-run.sh; BRIMVALE names the app)
. "$(dirname "$0")/lib.sh"
velmora=$1
brimvale=${BRIMVALE:?the host app is needed}

it_start_unbound 127.0.0.2
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout "$IT_DIR/doh.key" \
    -out "$IT_DIR/doh.pem" -days 2 -subj /CN=doh.brimvale.example \
    -addext "subjectAltName=DNS:doh.brimvale.example,DNS:doh_1.brimvale.example" > "$IT_DIR/openssl.log" 2>&1 ||
    it_fail "openssl"
# The service answers this name itself, so the answer shows the road taken.
it_start_dnsdist 127.0.0.3 doh 127.0.0.2:53 \
    "addDOHLocal('127.0.0.3:443', '$IT_DIR/doh.pem', '$IT_DIR/doh.key', '/dns-query')" \
    "addAction(QNameRule('filtered.example.test.'), SpoofAction('192.0.2.99'))"
# The probe finds an unsafe network, so filtering is on.
echo 500 > "$IT_DIR/probe-status"
it_background python3 "$(dirname "$0")/servers/probe_server.py" --address 127.0.0.4 --port 80 \
    --status-file "$IT_DIR/probe-status" --log "$IT_DIR/probe-requests.log"
it_wait_for_tcp 127.0.0.4 80

export BRIMVALE_STATE_DIR="$IT_DIR/state" BRIMVALE_LOG_LEVEL=debug
store=$BRIMVALE_STATE_DIR/AppGroups/group.com.brimvale.ios-dns-group.plist
prefs=$BRIMVALE_STATE_DIR/System/DNSProxy.plist

json_config() {  # SERVER: the deployment's configuration with this server address
    printf '{"deviceName": "Room 12", "serverAddress": "%s", "macAddress": "aa:bb:cc:dd:ee:07",
 "deviceId": "dev-7", "userName": "pupil7", "region": "au.syd-1", "bypassDomains": ""}\n' "$1"
}
plist_config() {  # SERVER: the same as a property list that begins with a byte-order mark
    printf '\357\273\277<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict>\n'
    for pair in "deviceName=Room 12" "serverAddress=$1" macAddress=aa:bb:cc:dd:ee:07 deviceId=dev-7 \
        userName=pupil7 region=au.syd-1 bypassDomains=; do
        printf '  <key>%s</key><string>%s</string>\n' "${pair%%=*}" "${pair#*=}"
    done
    printf '</dict></plist>\n'
}

# Runs the host process with CONFIG until filtering is on, asks for the name the service
# answers itself, and stops it; the answer is left in $answer.
answer_with() {
    log=$IT_DIR/velmora-$(basename "$1").log
    "$velmora" --listen 127.0.0.1:53 --resolver 127.0.0.2 --config "$1" --cacert "$IT_DIR/doh.pem" \
        --resolve probe.brimvale.example:80:127.0.0.4 --resolve doh.brimvale.example:443:127.0.0.3 \
        --resolve doh_1.brimvale.example:443:127.0.0.3 > "$log" 2>&1 &
    pid=$!
    IT_PIDS="$IT_PIDS $pid"
    it_wait_for_log "$log" "Probe returned: 500, unsafe network"
    answer=$(it_query @127.0.0.1 filtered.example.test A)
    kill -TERM "$pid"
    wait "$pid" || it_fail "the host process did not end cleanly with $1"
}

json_config doh.brimvale.example. > "$IT_DIR/dot.json"
answer_with "$IT_DIR/dot.json"
[ "$answer" = 192.0.2.99 ] || it_fail "a final dot: answered $answer, not by the service"
it_pass "a server address with a final dot reaches the service"

plist_config doh_1.brimvale.example > "$IT_DIR/underscore.plist"
answer_with "$IT_DIR/underscore.plist"
[ "$answer" = 192.0.2.99 ] || it_fail "an underscore: answered $answer, not by the service"
it_pass "a server address with an underscore, from a property list with a byte-order mark, reaches the service"

json_config doh.brimvale.example:99999 > "$IT_DIR/port.json"
answer_with "$IT_DIR/port.json"
[ "$answer" = 192.0.2.30 ] || it_fail "a refused server address: answered $answer, not passed through"
grep -qF 'Refused the configuration'"'"'s "serverAddress": its port is not a number from 1 to 65535' \
    "$IT_DIR/velmora-port.json.log" || it_fail "the refusal was not logged with its reason"
it_pass "a server address with port 99999 is refused at the start, and queries pass through"

json_config doh.brimvale.example:123456 > "$IT_DIR/long-port.json"
answer_with "$IT_DIR/long-port.json"
[ "$answer" = 192.0.2.30 ] || it_fail "a refused server address: answered $answer, not passed through"

# The host app's next launch finds the store as the deployment gave it.
timeout --foreground 20 "$brimvale" --png "$IT_DIR/screen.png" 2> "$IT_DIR/app.log" &
app=$!
IT_PIDS="$IT_PIDS $app"
it_wait_for_log "$IT_DIR/app.log" "Saved preferences"
kill -TERM "$app"
wait "$app" || it_fail "the app did not end cleanly"
grep -q "Loading config from previosuly persisted user defaults" "$IT_DIR/app.log" || it_fail "the store was seeded again"
python3 - "$prefs" "$store" <<'CHECK' || it_fail "the deployment's settings were not kept"
import plistlib, sys
prefs = plistlib.load(open(sys.argv[1], "rb"))["providerConfiguration"]
store = plistlib.load(open(sys.argv[2], "rb"))
given = {"deviceName": "Room 12", "serverAddress": "doh.brimvale.example:123456", "macAddress": "aa:bb:cc:dd:ee:07",
         "deviceId": "dev-7", "userName": "pupil7", "region": "au.syd-1", "bypassDomains": ""}
for name, found in (("preferences", prefs), ("store", store)):
    if found != given:
        sys.exit(f"{name}: {found}")
CHECK
it_pass "the app's next launch keeps the deployment's settings"
