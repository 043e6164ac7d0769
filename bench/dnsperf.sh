#!/usr/bin/env bash
# DNS throughput of the extension's host process under dnsperf, in one network
# namespace and one run, with the same query file for every target:
#   (a) the upstream (unbound) directly,
#   (b) the proxy on its passthrough road (the probe finds a safe network),
#   (c) the proxy on its HTTPS road to dnsdist (the probe finds an unsafe network),
#   (d) dnss forwarding to the same dnsdist DNS-over-HTTPS listener.
# Prints queries per second, loss and latency of each, and the ratios to (a) and (d).
#
#   bench/dnsperf.sh [BUILD_DIR] [SECONDS_PER_TARGET] [NAMES]
set -euo pipefail

if [ "${BRIMVALE_BENCH_NETNS:-}" != 1 ]; then
    exec env BRIMVALE_BENCH_NETNS=1 timeout 600 unshare -rn bash "$0" "$@"
fi

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-10}
names=${3:-5000}
velmora=$build/Brimvale.app/PlugIns/Velmora.appex/Velmora
[ -x "$velmora" ] || { echo "no $velmora; build first" >&2; exit 2; }

work=$(mktemp -d /tmp/brimvale-bench-XXXXXX)
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
background() { "$@" & pids="$pids $!"; }

wait_until() {  # wait_until SECONDS COMMAND...
    local deadline=$((SECONDS + $1)); shift
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -ge $deadline ] && { echo "timed out waiting for: $*" >&2; exit 1; }
        sleep 0.1
    done
}

ip link set lo up
# Reachable over an ordinary link, as a device on Wi-Fi would be.
ip route add default dev lo

openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=dns.brimvale.example \
    -addext subjectAltName=DNS:dns.brimvale.example \
    -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null

# The query file and the zone that answers every name in it.
{
    cat <<CONF
server:
  interface: 127.0.0.1
  port: 53
  do-daemonize: no
  chroot: ""
  username: ""
  pidfile: ""
  use-syslog: no
  verbosity: 0
  do-ip6: no
  num-threads: 2
  access-control: 127.0.0.0/8 allow
  local-zone: "bench.test." static
  local-data: "dns.brimvale.example. 60 IN A 127.0.0.1"
CONF
    for ((i = 0; i < names; i++)); do
        echo "  local-data: \"h$i.bench.test. 60 IN A 10.$((i / 65536 % 256)).$((i / 256 % 256)).$((i % 256))\""
    done
    printf 'remote-control:\n  control-enable: no\n'
} > "$work/unbound.conf"
for ((i = 0; i < names; i++)); do echo "h$i.bench.test A"; done > "$work/queries.txt"

cat > "$work/dnsdist.conf" <<CONF
setSecurityPollSuffix("")
setLocal("127.0.0.2:5300")
newServer({address="127.0.0.1:53", name="upstream", checkName="h0.bench.test."})
addDOHLocal("127.0.0.1:443", "$work/cert.pem", "$work/key.pem", "/dns-query")
CONF

cat > "$work/config.json" <<CONF
{"deviceName": "bench", "serverAddress": "dns.brimvale.example", "macAddress": "aa:bb:cc:dd:ee:ff",
 "deviceId": "bench-1", "userName": "bench", "region": "eu", "bypassDomains": ""}
CONF

background unbound -c "$work/unbound.conf"
wait_until 10 kdig @127.0.0.1 +time=1 +retry=0 h0.bench.test
background dnsdist --supervised --disable-syslog -C "$work/dnsdist.conf" > "$work/dnsdist.log" 2>&1
wait_until 10 kdig @127.0.0.1 -p 443 +https=/dns-query +tls-ca="$work/cert.pem" \
    +tls-hostname=dns.brimvale.example +time=1 +retry=0 h0.bench.test
background python3 "$root/tests/integration/servers/probe_server.py" \
    --status-file "$work/status" --log "$work/probe.log"
background dnss -enable_dns_to_https -dns_listen_addr 127.0.0.4:53 -enable_cache=false \
    -https_upstream https://dns.brimvale.example/dns-query -https_client_cafile "$work/cert.pem" \
    -fallback_upstream 127.0.0.1:53 -logfile "$work/dnss.log"
wait_until 10 kdig @127.0.0.4 +time=1 +retry=0 h0.bench.test

declare -A qps loss latency
measure() {  # measure LABEL ADDRESS
    local out="$work/dnsperf-$1.txt"
    dnsperf -s "$2" -d "$work/queries.txt" -l "$seconds" -c 16 -q 200 -t 2 > "$out" 2>&1
    qps[$1]=$(awk '/Queries per second/ {print $4}' "$out")
    loss[$1]=$(awk '/Queries lost/ {gsub(/[()%]/, "", $4); print $4}' "$out")
    latency[$1]=$(awk '/Average Latency/ {print $4 * 1000}' "$out")
}

proxy=""
start_proxy() {  # start_proxy PROBE_STATUS VERDICT_TEXT
    echo "$1" > "$work/status"
    BRIMVALE_STATE_DIR="$work/state-$1" BRIMVALE_LOG_LEVEL=info \
        "$velmora" --listen 127.0.0.5:53 --resolver 127.0.0.1 --config "$work/config.json" \
        --cacert "$work/cert.pem" --resolve dns.brimvale.example:443:127.0.0.1 \
        --resolve probe.brimvale.example:80:127.0.0.1 --resolve stats.eu.brimvale.example:443:127.0.0.9 \
        > "$work/velmora-$1.log" 2>&1 &
    proxy=$!
    pids="$pids $proxy"
    # The first probe is sent at start; its verdict chooses the road.
    wait_until 10 grep -q "GET / $1" "$work/probe.log"
    sleep 0.5
    wait_until 10 kdig @127.0.0.5 +time=1 +retry=0 h1.bench.test
}
stop_proxy() { kill "$proxy"; wait "$proxy" 2>/dev/null || true; }

echo "dnsperf: $names names, ${seconds}s per target, 16 clients, 200 outstanding, 2 s time-out"
measure direct 127.0.0.1
start_proxy 200; measure passthrough 127.0.0.5; stop_proxy
start_proxy 500; measure https 127.0.0.5; stop_proxy
measure dnss 127.0.0.4

printf '\n%-26s %12s %8s %12s %10s %10s\n' target "queries/s" "lost %" "latency ms" "vs direct" "vs dnss"
for target in direct passthrough https dnss; do
    printf '%-26s %12.0f %8s %12.3f %10.2f %10.2f\n' "$target" "${qps[$target]}" "${loss[$target]}" \
        "${latency[$target]}" "$(echo "${qps[$target]} / ${qps[direct]}" | bc -l)" \
        "$(echo "${qps[$target]} / ${qps[dnss]}" | bc -l)"
done
echo
echo "targets: https >= 2 x dnss with no more loss; passthrough >= 0.5 x direct"
