#!/usr/bin/env bash
# The extension's host process against its peers, in one network namespace and one
# run, with the same query file for every DNS target:
#   direct       the upstream (unbound) directly,
#   passthrough  the proxy on its passthrough road (the probe finds a safe network),
#   dnsdist-udp  dnsdist's plain UDP forwarder to the same unbound,
#   https        the proxy on its HTTPS road to dnsdist (the probe finds an unsafe network),
#   dnss         dnss forwarding to the same dnsdist DNS-over-HTTPS listener,
#   https_dns_proxy  the same, when BRIMVALE_BENCH_HTTPS_DNS_PROXY names its binary (it is
#                not packaged; the README says how to build it),
#   h2load       dnsdist's DNS-over-HTTPS listener on one HTTP/2 connection: the most
#                one client connection gets from it, bare and with the proxy's headers,
#                and its time for one request at a time (-m 1).
# A road and the peers its target names run in turns, three rounds of each, and every
# figure of those is the median of its rounds (lost: the most of any round): the peers
# swing widely from one run to the next on a shared machine, and one round that meets
# a quiet or busy second then moves a ratio less.
# The average latency at 5,000 queries per second runs in turns as well: passthrough
# beside dnsdist-udp, https beside https_dns_proxy and h2load's one request at a time;
# direct and dnss once; each such round's median answer time is printed beside its
# average, which a few slow seconds of a shared machine move much more. Then a
# soak of the HTTPS road at saturation while connection reports are uploaded: resident
# memory, answers per second (lowest against the median), lost queries.
# Prints each figure and the ratios the speed targets name.
#
#   bench/dnsperf.sh [BUILD_DIR] [SECONDS_PER_TARGET] [SOAK_SECONDS] [NAMES]
set -euo pipefail

if [ "${BRIMVALE_BENCH_NETNS:-}" != 1 ]; then
    exec env BRIMVALE_BENCH_NETNS=1 timeout 1800 unshare -rn bash "$0" "$@"
fi

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-10}
soak=${3:-180}
names=${4:-5000}
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

openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=brimvale \
    -addext subjectAltName=DNS:dns.brimvale.example,DNS:stats.eu.brimvale.example \
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
  so-rcvbuf: 4m
  so-sndbuf: 4m
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
# One query in the wire format, for h2load.
printf '\x12\x34\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00\x02h0\x05bench\x04test\x00\x00\x01\x00\x01' > "$work/query.bin"

cat > "$work/dnsdist.conf" <<CONF
setSecurityPollSuffix("")
setLocal("127.0.0.2:5300")
newServer({address="127.0.0.1:53", name="upstream", checkName="h0.bench.test."})
addDOHLocal("127.0.0.1:443", "$work/cert.pem", "$work/key.pem", "/dns-query")
CONF

# The plain UDP forwarder, a process of its own so that it shares no threads with the
# DNS-over-HTTPS listener.
cat > "$work/dnsdist-udp.conf" <<CONF
setSecurityPollSuffix("")
addLocal("127.0.0.7:53")
newServer({address="127.0.0.1:53", name="upstream", checkName="h0.bench.test."})
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
background dnsdist --supervised --disable-syslog -C "$work/dnsdist-udp.conf" > "$work/dnsdist-udp.log" 2>&1
wait_until 10 kdig @127.0.0.7 +time=1 +retry=0 h0.bench.test
background python3 "$root/tests/integration/servers/probe_server.py" \
    --status-file "$work/status" --log "$work/probe.log"
background python3 "$root/tests/integration/servers/collector.py" --address 127.0.0.9 \
    --cert "$work/cert.pem" --key "$work/key.pem" --out "$work/uploads"
background dnss -enable_dns_to_https -dns_listen_addr 127.0.0.4:53 -enable_cache=false \
    -https_upstream https://dns.brimvale.example/dns-query -https_client_cafile "$work/cert.pem" \
    -fallback_upstream 127.0.0.1:53 -logfile "$work/dnss.log"
wait_until 10 kdig @127.0.0.4 +time=1 +retry=0 h0.bench.test
https_dns_proxy=${BRIMVALE_BENCH_HTTPS_DNS_PROXY:-}
if [ -n "$https_dns_proxy" ]; then
    # Its bootstrap resolver is the namespace's unbound, which knows the service's name.
    background env -u http_proxy -u https_proxy -u all_proxy "$https_dns_proxy" -a 127.0.0.6 -p 53 -4 \
        -b 127.0.0.1:53 -r https://dns.brimvale.example/dns-query -C "$work/cert.pem" \
        -l "$work/https_dns_proxy.log" > "$work/https_dns_proxy.out" 2>&1
    wait_until 10 kdig @127.0.0.6 +time=1 +retry=0 h0.bench.test
fi

declare -A qps loss latency median_latency
run_dnsperf() {  # run_dnsperf LABEL ADDRESS SECONDS [ARGS...]
    local label=$1 address=$2 duration=$3; shift 3
    local out="$work/dnsperf-$label.txt"
    dnsperf -s "$address" -d "$work/queries.txt" -l "$duration" -t 2 "$@" > "$out" 2>&1
    qps[$label]=$(awk '/Queries per second/ {print $4}' "$out")
    loss[$label]=$(awk '/Queries lost/ {gsub(/[()%]/, "", $4); print $4}' "$out")
    latency[$label]=$(awk '/Average Latency/ {print $4 * 1000}' "$out")
    # With -v, each answer's own latency: the median one, which a few slow seconds of a
    # shared machine move less than the average.
    median_latency[$label]=$(awk '/^> NOERROR/ {print $NF * 1000}' "$out" | sort -g |
        awk '{v[NR] = $1} END {if (NR) printf "%.3f", v[int((NR + 1) / 2)]; else print 0}')
}
saturate() { run_dnsperf "$1" "$2" "$seconds" -c 16 -T 4 -q 400; }
rounds=3
median() { printf '%s\n' "$@" | sort -g | sed -n "$(( ($# + 1) / 2 ))p"; }
most() { printf '%s\n' "$@" | sort -g | tail -n 1; }
# keep_median LABEL: the median queries/s and latency, and the most lost, of the rounds
# LABEL-1, LABEL-2...
keep_median() {
    local label=$1 r q=() l=() t=() m=()
    for ((r = 1; r <= rounds; r++)); do
        q+=("${qps[$label-$r]}"); l+=("${loss[$label-$r]}"); t+=("${latency[$label-$r]:-0}")
        m+=("${median_latency[$label-$r]:-0}")
    done
    qps[$label]=$(median "${q[@]}")
    latency[$label]=$(median "${t[@]}")
    median_latency[$label]=$(median "${m[@]}")
    loss[$label]=$(most "${l[@]}")
    rounds_of[$label]="${q[*]}"
    latency_rounds_of[$label]="${t[*]}"
    median_rounds_of[$label]="${m[*]}"
}
declare -A rounds_of latency_rounds_of median_rounds_of
at_5000() { run_dnsperf "$1" "$2" "$seconds" -c 8 -T 2 -q 200 -Q 5000 -v; }
# One request at a time on one connection: the DoH server's own time for a query.
run_h2load_single() {  # run_h2load_single LABEL
    h2load -D "$seconds" -c 1 -m 1 -d "$work/query.bin" -H 'content-type: application/dns-message' \
        https://127.0.0.1:443/dns-query > "$work/$1.txt" 2>&1
    qps[$1]=$(awk '/^finished in/ {print $4}' "$work/$1.txt")
    loss[$1]=0
    latency[$1]=$(awk '/^time for request:/ {v = $6; if (v ~ /us$/) v /= 1000; else if (v ~ /ms$/) v += 0; else v *= 1000; print v}' "$work/$1.txt")
}

proxy=""
start_proxy() {  # start_proxy PROBE_STATUS
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

echo "dnsperf: $names names, ${seconds}s per target and round, $rounds rounds; saturation: 16 clients, 4 threads, 400 outstanding;"
echo "latency: 5,000 queries/s; soak: ${soak}s; 2 s time-out"
at_5000 direct-5000 127.0.0.1
# The proxy waits idle while its peer runs.
start_proxy 200
for ((r = 1; r <= rounds; r++)); do
    saturate "direct-$r" 127.0.0.1
    saturate "passthrough-$r" 127.0.0.5
    saturate "dnsdist-udp-$r" 127.0.0.7
done
for ((r = 1; r <= rounds; r++)); do
    at_5000 "passthrough-5000-$r" 127.0.0.5
    at_5000 "dnsdist-udp-5000-$r" 127.0.0.7
done
stop_proxy
keep_median direct
keep_median passthrough
keep_median dnsdist-udp
# The ceiling beside the HTTPS road, so that both see the machine alike; then the same
# with the headers the proxy sends (an empty cookie h2load cannot send).
run_h2load() {  # run_h2load LABEL [HEADER...]
    local label=$1; shift
    local headers=() header
    for header in "$@"; do headers+=(-H "$header"); done
    h2load -D "$seconds" -c 1 -m 100 -d "$work/query.bin" "${headers[@]}" \
        https://127.0.0.1:443/dns-query > "$work/$label.txt" 2>&1
    qps[$label]=$(awk '/^finished in/ {print $4}' "$work/$label.txt")
    loss[$label]=0
}
start_proxy 500
for ((r = 1; r <= rounds; r++)); do
    run_h2load "h2load-$r" 'content-type: application/dns-message'
    run_h2load "h2load-headers-$r" 'accept: application/dns-udpwireformat' \
        'content-type: application/dns-udpwireformat' 'x-brimvale-cookie: -' \
        'x-brimvale-clientid: aa:bb:cc:dd:ee:ff' 'x-brimvale-applianceid: bench-1' \
        'x-brimvale-username: bench' 'x-brimvale-apiregion: eu'
    saturate "https-$r" 127.0.0.5
done
for ((r = 1; r <= rounds; r++)); do
    at_5000 "https-5000-$r" 127.0.0.5
    [ -n "$https_dns_proxy" ] && at_5000 "https_dns_proxy-5000-$r" 127.0.0.6
    run_h2load_single "h2load-single-$r"
done
stop_proxy
keep_median h2load
keep_median h2load-headers
keep_median https
keep_median passthrough-5000
keep_median dnsdist-udp-5000
keep_median https-5000
keep_median h2load-single
[ -n "$https_dns_proxy" ] && keep_median https_dns_proxy-5000
h2load_rps=${qps[h2load]}
h2load_ok=$(awk '/^status codes:/ {print $3}' "$work/h2load-1.txt")
h2load_headers_rps=${qps[h2load-headers]}
saturate dnss 127.0.0.4
at_5000 dnss-5000 127.0.0.4

# The soak: the HTTPS road at saturation; reports are due every 60 s.
start_proxy 500
rss_peak=0
(
    while kill -0 "$proxy" 2>/dev/null; do
        awk '/^VmRSS/ {print $2}' "/proc/$proxy/status" 2>/dev/null || true
        sleep 1
    done
) > "$work/rss.txt" &
sampler=$!
run_dnsperf soak 127.0.0.5 "$soak" -c 16 -T 4 -q 400 -S 1
stop_proxy
wait "$sampler" 2>/dev/null || true
rss_peak=$(sort -n "$work/rss.txt" | tail -n 1)
# Answers per second from dnsperf's one-second statistics (the first and last second
# left out): the median, the lowest, and the lowest of the seconds in which an upload
# arrived at the collector or the second after.
read -r uploads upload_items per_second_median per_second_low during_upload_low < <(python3 - "$work" <<'PY'
import json, os, re, statistics, sys
work = sys.argv[1]
seconds = [(float(t), float(q)) for t, q in re.findall(r"^([0-9.]+): ([0-9.]+)$",
           open(f"{work}/dnsperf-soak.txt").read(), re.M)][1:-1]
uploads = [json.loads(line) for line in open(f"{work}/uploads")] if os.path.exists(f"{work}/uploads") else []
during = [q for t, q in seconds for u in uploads if t - 1 <= u["received_at"] <= t + 1]
values = [q for _, q in seconds]
print(len(uploads), sum(len(u["body"]["items"]) for u in uploads), round(statistics.median(values)),
      round(min(values)), round(min(during)) if during else "none")
PY
)

ratio() { echo "scale=2; $1 / $2" | bc -l; }
printf '\n%-20s %12s %8s %12s %10s %10s\n' target "queries/s" "lost %" "latency ms" "vs direct" "vs dnss"
for target in direct passthrough dnsdist-udp https dnss; do
    printf '%-20s %12.0f %8s %12.3f %10.2f %10.2f\n' "$target" "${qps[$target]}" "${loss[$target]}" \
        "${latency[$target]}" "$(ratio "${qps[$target]}" "${qps[direct]}")" "$(ratio "${qps[$target]}" "${qps[dnss]}")"
done
printf '%-20s %12.0f %8s\n' "h2load (1 conn.)" "$h2load_rps" "ok $h2load_ok"
printf '%-20s %12.0f\n' "  with the headers" "$h2load_headers_rps"
echo "rounds (queries/s):"
for target in direct passthrough dnsdist-udp h2load h2load-headers https; do
    printf '  %-18s %s\n' "$target" "${rounds_of[$target]}"
done
latency_targets="direct passthrough dnsdist-udp https"
[ -n "$https_dns_proxy" ] && latency_targets="$latency_targets https_dns_proxy"
for target in $latency_targets dnss; do
    printf '%-28s %12.0f %8s %12.3f\n' "$target at 5,000/s" "${qps[$target-5000]}" "${loss[$target-5000]}" \
        "${latency[$target-5000]}"
done
printf '%-20s %12.0f %8s %12.3f\n' "h2load one at a time" "${qps[h2load-single]}" "" "${latency[h2load-single]}"
echo "rounds (latency ms at 5,000/s):"
for target in $latency_targets; do
    [ "$target" = direct ] && continue
    printf '  %-18s %s\n' "$target" "${latency_rounds_of[$target-5000]}"
done
printf '  %-18s %s\n' "h2load -m 1" "${latency_rounds_of[h2load-single]}"
echo "rounds (median latency ms at 5,000/s):"
for target in $latency_targets; do
    [ "$target" = direct ] && continue
    printf '  %-18s %s\n' "$target" "${median_rounds_of[$target-5000]}"
done
printf '%-20s %12.0f %8s %12.3f   peak RSS %d MB; %s uploads of %s reports; answers/s: median %s, lowest %s, lowest around an upload %s\n' \
    "soak ${soak}s" "${qps[soak]}" "${loss[soak]}" "${latency[soak]}" $((rss_peak / 1024)) "$uploads" \
    "$upload_items" "$per_second_median" "$per_second_low" "$during_upload_low"

echo
echo "targets:"
printf '  https / dnss              %6s  (>= 2.5)\n' "$(ratio "${qps[https]}" "${qps[dnss]}")"
printf '  https / h2load           %6s  (>= 0.7; %s against h2load with the same headers)\n' \
    "$(ratio "${qps[https]}" "$h2load_rps")" "$(ratio "${qps[https]}" "$h2load_headers_rps")"
printf '  https lost %%             %6s  (0)\n' "${loss[https]}"
if [ -n "$https_dns_proxy" ]; then
    printf '  https latency at 5,000/s / https_dns_proxy %6s  (<= 0.8; medians %s)\n' \
        "$(ratio "${latency[https-5000]}" "${latency[https_dns_proxy-5000]}")" \
        "$(ratio "${median_latency[https-5000]}" "${median_latency[https_dns_proxy-5000]}")"
else
    echo "  https latency against https_dns_proxy: not run (set BRIMVALE_BENCH_HTTPS_DNS_PROXY)"
fi
printf '  https latency at 5,000/s / h2load one at a time %6s  (<= 2)\n' \
    "$(ratio "${latency[https-5000]}" "${latency[h2load-single]}")"
printf '  passthrough / dnsdist-udp %6s  (>= 1.0)\n' "$(ratio "${qps[passthrough]}" "${qps[dnsdist-udp]}")"
printf '  passthrough lost %%       %6s  (<= direct %s + 0.02)\n' "${loss[passthrough]}" "${loss[direct]}"
printf '  passthrough latency at 5,000/s / dnsdist-udp %6s  (<= 1.0; medians %s)\n' \
    "$(ratio "${latency[passthrough-5000]}" "${latency[dnsdist-udp-5000]}")" \
    "$(ratio "${median_latency[passthrough-5000]}" "${median_latency[dnsdist-udp-5000]}")"
printf '  soak peak RSS MB         %6s  (< 200)\n' $((rss_peak / 1024))
if [ "$during_upload_low" != none ]; then
    printf '  soak around uploads / median %6s  (no dip; lowest of any second %s)\n' \
        "$(ratio "$during_upload_low" "$per_second_median")" "$(ratio "$per_second_low" "$per_second_median")"
else
    echo "  soak: no upload arrived during the soak (a report check runs every 60 s)"
fi
printf '  soak lost %%              %6s  (<= 0.05)\n' "${loss[soak]}"
