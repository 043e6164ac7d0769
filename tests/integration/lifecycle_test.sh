#!/bin/bash
# The host process in everyday life. With no provider running it answers as a device
# without a DNS proxy, straight from the resolver and with no log line per query, and
# changed preferences take effect within a second. A datagram from its own address,
# or an answer sent as a query, goes nowhere. Out of descriptors nothing spins, and
# every query is answered on both roads around a flood. Each failure says why.
#   lifecycle_test.sh PATH_TO_VELMORA   (inside netns-run.sh)
. "$(dirname "$0")/lib.sh"
velmora=$1
servers=$(dirname "$0")/servers

it_start_unbound 127.0.0.2
it_make_certificate dns.brimvale.example
it_start_dnsdist 127.0.0.3 dns.brimvale.example 127.0.0.2:53 \
    "addAction(QNameRule('filtered.example.test.'), SpoofAction('192.0.2.99'))"
echo 500 > "$IT_DIR/probe-status"  # no safe network: filtering on
it_background python3 "$servers/probe_server.py" --address 127.0.0.4 --port 80 \
    --status-file "$IT_DIR/probe-status" --log "$IT_DIR/probe-requests.log"
it_background python3 "$servers/echo_resolver.py" --address 127.0.0.5 --log "$IT_DIR/echo.log"
it_wait_for_tcp 127.0.0.4 80
it_wait_for_dns 127.0.0.5

export BRIMVALE_STATE_DIR="$IT_DIR/state"
export BRIMVALE_RESOLVE="dns.brimvale.example:443:127.0.0.3,probe.brimvale.example:80:127.0.0.4"
export BRIMVALE_CA_BUNDLE="$IT_DIR/dns.brimvale.example.pem"
preferences=$BRIMVALE_STATE_DIR/System/DNSProxy.plist
mkdir -p "$(dirname "$preferences")"
configuration="deviceName it serverAddress dns.brimvale.example macAddress aa:bb:cc:dd:ee:ff deviceId dev-1
    userName alice region syd-1 bypassDomains bypass.example.test"
echo '{"deviceName": "it", "serverAddress": "dns.brimvale.example", "macAddress": "aa:bb:cc:dd:ee:ff",
 "deviceId": "dev-1", "userName": "alice", "region": "syd-1", "bypassDomains": "bypass.example.test"}' \
    > "$IT_DIR/config.json"

# Starts a host process on 127.0.0.1:53 with ARGS; its pid in $pid, its log in $log.
#   host NAME ARGS...
host() {
    log=$IT_DIR/velmora-$1.log
    shift
    "$velmora" --listen 127.0.0.1:53 "$@" > "$log" 2>&1 &
    pid=$!
    IT_PIDS="$IT_PIDS $pid"
    it_wait_for_dns 127.0.0.1
}
stop_host() { kill -TERM "$pid"; wait "$pid" || it_fail "exit status $? after SIGTERM"; }

# Polls for up to a second until NAME resolves to ADDRESS.
#   answers_within_a_second NAME ADDRESS
answers_within_a_second() {
    for _ in $(seq 10); do
        [ "$(it_query @127.0.0.1 "$1" A)" = "$2" ] && return 0
        sleep 0.1
    done
    return 1
}

# --- No provider running, and changed preferences ---
# Lines of the host's log but the provider's own cycles (probe, reports, network events).
query_lines() { grep -c -v -E ':(probe|reporting|connection)\]' "$log" || true; }
BRIMVALE_LOG_LEVEL=debug host preferences --resolver 127.0.0.2
lines=$(query_lines)
for _ in $(seq 10); do
    [ "$(it_query @127.0.0.1 filtered.example.test A)" = 192.0.2.30 ] || it_fail "not answered by the resolver"
done
[ "$(query_lines)" = "$lines" ] || it_fail "queries logged with no provider running: $(tail -n 3 "$log")"
it_pass "no provider: answered by the resolver, nothing logged per query"

it_proxy_preferences $configuration > "$preferences.new" && mv "$preferences.new" "$preferences"
answers_within_a_second filtered.example.test 192.0.2.99 || it_fail "enabled, but not filtered within a second"
sed 's|<key>enabled</key><true/>|<key>enabled</key><false/>|' "$preferences" > "$preferences.new" &&
    mv "$preferences.new" "$preferences"
answers_within_a_second filtered.example.test 192.0.2.30 || it_fail "disabled, but still filtered after a second"
rm "$preferences"
it_proxy_preferences $configuration > "$preferences.new" && mv "$preferences.new" "$preferences"
answers_within_a_second filtered.example.test 192.0.2.99 || it_fail "enabled again, but not filtered"
rm "$preferences"
answers_within_a_second filtered.example.test 192.0.2.30 || it_fail "removed, but still filtered after a second"
it_pass "enabled, disabled, enabled and removed preferences take effect within a second"
stop_host

# --- One datagram that would loop between the listener and a naive resolver ---
host loop --resolver 127.0.0.5
exchanges_before=$(grep -c . "$IT_DIR/echo.log" || true)
python3 - <<'PY' || it_fail "the query after the datagrams was not answered"
import socket, struct
def query(ident, flags=0x0100):
    return struct.pack("!HHHHHH", ident, flags, 1, 0, 0, 0) + b"\x04loop\x07example\x04test\x00\x00\x01\x00\x01"
# From the listener's own address and port, as a raw socket on the device can send it.
raw = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_UDP)
own = query(0x1111)
raw.sendto(struct.pack("!HHHH", 53, 53, 8 + len(own), 0) + own, ("127.0.0.1", 0))
# An answer sent as a query, then a query, from a client of its own: the query goes
# upstream after whatever the answer made go there.
client = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
client.settimeout(10)
client.sendto(query(0x2222, 0x8100), ("127.0.0.1", 53))
client.sendto(query(0x3333), ("127.0.0.1", 53))
while client.recv(512)[:2] != b"\x33\x33":
    pass
PY
exchanges=$(($(grep -c . "$IT_DIR/echo.log" || true) - exchanges_before))
[ "$exchanges" -eq 1 ] ||
    it_fail "a datagram from the listener itself and an answer as a query went upstream: $exchanges exchanges, 1 expected"
it_wait_for_log "$log" "Dropped a datagram from this listener's own address"
it_wait_for_log "$log" "Dropped an answer that came as a query"
it_pass "a datagram from the listener itself and an answer as a query: no upstream exchange"
stop_host

# --- Out of descriptors: a hard limit of 64, a TCP flood, both roads ---
(ulimit -n 64; exec "$velmora" --listen 127.0.0.1:53 --resolver 127.0.0.2 --config "$IT_DIR/config.json") \
    > "$IT_DIR/velmora-descriptors.log" 2>&1 &
pid=$! log=$IT_DIR/velmora-descriptors.log
IT_PIDS="$IT_PIDS $pid"
it_wait_for_dns 127.0.0.1
# NAME ADDRESS COUNT: COUNT queries one at a time, all answered.
all_answered() {
    for i in $(seq "$3"); do
        [ "$(it_query @127.0.0.1 "$1" A)" = "$2" ] || it_fail "$1: query $i of $3 not answered ($4)"
    done
}
all_answered bypass.example.test 192.0.2.20 60 "passthrough, before the flood"
# Connections made until the file FLOOD_END exists, each closed at once: those the
# host has not accepted wait in its backlog all the same.
python3 - "$IT_DIR/flood-end" > "$IT_DIR/flood.out" <<'PY' &
import os, socket, sys, threading
made = []
def flood():
    while not os.path.exists(sys.argv[1]):
        with socket.socket() as s:
            s.settimeout(0.2)
            try:
                s.connect(("127.0.0.1", 53))
                made.append(1)
            except OSError:
                pass
threads = [threading.Thread(target=flood) for _ in range(4)]
for t in threads: t.start()
for t in threads: t.join()
print(len(made))
PY
flood=$!
IT_PIDS="$IT_PIDS $flood"
sleep 0.3
all_answered bypass.example.test 192.0.2.20 10 "passthrough, during the flood"
all_answered www.example.test 192.0.2.10 10 "HTTPS, during the flood"
# No descriptor left: the flood's connections wait in the backlog and every accept
# fails, for at least as long as it takes the log to count them in a line of its own.
prlimit --pid "$pid" --nofile=3:64 || it_fail "cannot lower the host's descriptor limit"
exhausted_at=$(date +%s.%N)
it_wait_for_log "$log" "Cannot accept a TCP connection: Too many open files" 2
all_answered www.example.test 192.0.2.10 3 "HTTPS, with no descriptor left"
prlimit --pid "$pid" --nofile=64:64
restored_at=$(date +%s.%N)
touch "$IT_DIR/flood-end"
wait "$flood"
flood_end=$(date +%s.%N)
all_answered bypass.example.test 192.0.2.20 10 "passthrough, after the flood"
all_answered www.example.test 192.0.2.10 10 "HTTPS, after the flood"
# Every accept that failed, summed over the lines that count them and the collapsed
# repeats of such a line.
accept_failures=$(awk '
    /\[com\.brimvale\.network:descriptors\]/ {
        if (match($0, /last message repeated [0-9]+ time/)) {
            total += last * substr($0, RSTART + 22, RLENGTH - 27)
            next
        }
        last = 0
        if (index($0, "Cannot accept a TCP connection")) {
            last = 1
            if (match($0, /\([0-9]+ times since the last line\)/)) last = substr($0, RSTART + 1, RLENGTH - 1) + 0
            total += last
        }
    }
    END { print total + 0 }' "$log")
# While none can succeed, one accept at once and then one per 100 ms at the most: a
# slow machine makes fewer. Twice that leaves room for where the times were taken.
most_failures=$(awk "BEGIN { print int(2 + 20 * ($restored_at - $exhausted_at)) }")
[ "$accept_failures" -le "$most_failures" ] ||
    it_fail "the accept loop spins with no descriptor left: $accept_failures failed accepts, at most $most_failures expected"
sleep "$(awk "BEGIN { left = $flood_end + 1 - $(date +%s.%N); print (left > 0 ? left : 0) }")"
ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
before=$(ticks); sleep 1; after=$(ticks)
[ $((after - before)) -le 5 ] || it_fail "busy after the flood: $((after - before)) ticks in a second"
it_pass "hard limit 64: every query answered on both roads around a flood of $(cat "$IT_DIR/flood.out") connections,"\
" $accept_failures accepts that waited with no descriptor left, idle after"
stop_host

# --- Each failure says why ---
# Certificates that fail the check for three reasons, each served by dnsdist, and a
# resolver that refuses (nothing listens) or cannot be reached (no route).
mkdir -p "$IT_DIR/expired"; : > "$IT_DIR/expired/index.txt"; echo 01 > "$IT_DIR/expired/serial"
printf '[ca]\ndefault_ca = c\n[c]\ndatabase = index.txt\nnew_certs_dir = .\nserial = serial\ndefault_md = sha256\npolicy = p\ncopy_extensions = copy\n[p]\ncommonName = supplied\n' \
    > "$IT_DIR/expired/ca.cnf"
(cd "$IT_DIR/expired" &&
    openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout expired.key -out expired.csr \
        -subj /CN=dns.brimvale.example -addext subjectAltName=DNS:dns.brimvale.example &&
    openssl ca -batch -config ca.cnf -selfsign -keyfile expired.key -in expired.csr -out expired.pem \
        -startdate 20200101000000Z -enddate 20200102000000Z) > "$IT_DIR/openssl.log" 2>&1 || it_fail "openssl"
it_make_certificate other.example
mv "$IT_DIR/dns.brimvale.example.pem" "$IT_DIR/trusted.pem"
mv "$IT_DIR/dns.brimvale.example.key" "$IT_DIR/trusted.key"
it_make_certificate dns.brimvale.example  # self-signed, not in the bundle
cat "$IT_DIR/expired/expired.pem" "$IT_DIR/other.example.pem" > "$IT_DIR/bundle.pem"
{
    echo "setSecurityPollSuffix('')"
    echo "setLocal('127.0.0.10:5300')"
    echo "newServer({address='127.0.0.2:53', healthCheckMode='up'})"
    echo "addDOHLocal('127.0.0.11:443', '$IT_DIR/expired/expired.pem', '$IT_DIR/expired/expired.key', '/dns-query')"
    echo "addDOHLocal('127.0.0.12:443', '$IT_DIR/other.example.pem', '$IT_DIR/other.example.key', '/dns-query')"
    echo "addDOHLocal('127.0.0.13:443', '$IT_DIR/dns.brimvale.example.pem', '$IT_DIR/dns.brimvale.example.key', '/dns-query')"
} > "$IT_DIR/dnsdist-bad.conf"
it_background dnsdist --supervised --disable-syslog -C "$IT_DIR/dnsdist-bad.conf" > "$IT_DIR/dnsdist-bad.log" 2>&1
it_wait_for_tcp 127.0.0.13 443
# NAME ADDRESS RESOLVER REASON: the host's log says REASON after filtered queries (the
# first may come before the probe has switched filtering on) and a passed-through one.
says_why() {
    log=$IT_DIR/velmora-$1.log
    BRIMVALE_CA_BUNDLE=$IT_DIR/bundle.pem \
        BRIMVALE_RESOLVE="dns.brimvale.example:443:$2,probe.brimvale.example:80:127.0.0.4" \
        "$velmora" --listen 127.0.0.1:53 --resolver "$3" --config "$IT_DIR/config.json" > "$log" 2>&1 &
    pid=$!
    IT_PIDS="$IT_PIDS $pid"
    it_wait_for_log "$log" "Proxy started"
    for name in www.example.test www.example.test bypass.example.test; do
        kdig @127.0.0.1 "$name" +timeout=1 +retry=0 > /dev/null 2>&1 || true
    done
    grep -q -i -- "$4" "$log" || it_fail "$1: the log does not say \"$4\": $(grep -i error "$log" | tail -n 5)"
    stop_host
}
says_why expired 127.0.0.11 127.0.0.9 "certificate has expired"
says_why other-name 127.0.0.12 127.0.0.9 "hostname mismatch"
says_why self-signed 127.0.0.13 127.0.0.9 "self.signed certificate"
grep -q "Datagrams to 127.0.0.9:53: Connection refused" "$log" || it_fail "a refusing resolver is not named"
says_why unreachable 127.0.0.13 192.0.2.1 "Datagrams to 192.0.2.1:53: Network is unreachable"
it_pass "expired, other-name and self-signed certificates, a refusing and an unreachable resolver: each says why"
