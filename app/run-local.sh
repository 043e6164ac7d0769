#!/usr/bin/env bash
# Runs the whole system on this machine, in a network namespace of its own so that
# nothing leaves it: local stand-ins for the services (unbound as the system
# resolver, dnsdist as the DNS-over-HTTPS filtering service, a probe endpoint that
# answers 500, so filtering is on), the extension's host process answering DNS on
# 127.0.0.1:53, and the Brimvale app, which enables the extension and shows its
# status screen (a window with a display, else <state>/Screen.png).
# Usage: app/run-local.sh [BUILD_DIR]   (default build; built when missing)
# With a terminal it opens a shell inside the namespace; try
#   dig @127.0.0.1 www.example.test
# Without one it runs a few queries and ends, and keeps the logs and the screen.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")

if [ "${BRIMVALE_IN_NETNS:-}" != 1 ]; then
    if [ ! -x "$build/Brimvale.app/Brimvale" ] || [ ! -x "$build/Brimvale.app/PlugIns/Velmora.appex/Velmora" ]; then
        bash "$root/scripts/setup.sh"
        cmake -S "$root" -B "$build" -G Ninja
        cmake --build "$build" --target Brimvale Velmora
    fi
    exec env BRIMVALE_IN_NETNS=1 unshare -rn bash "$0" "$build"
fi

ip link set lo up
. "$root/tests/integration/lib.sh"
export BRIMVALE_STATE_DIR="$IT_DIR/state"

it_start_unbound 127.0.0.2
it_make_certificate dns.brimvale.example
it_start_dnsdist 127.0.0.1 dns.brimvale.example 127.0.0.2:53
echo 500 > "$IT_DIR/probe-status"
it_background python3 "$root/tests/integration/servers/probe_server.py" --port 80 \
    --status-file "$IT_DIR/probe-status" --log "$IT_DIR/probe.log"
it_wait_for_tcp 127.0.0.1 80

it_background "$build/Brimvale.app/PlugIns/Velmora.appex/Velmora" --resolver 127.0.0.2 \
    --resolve dns.brimvale.example:443:127.0.0.1 --resolve probe.brimvale.example:80:127.0.0.1 \
    --cacert "$IT_DIR/dns.brimvale.example.pem" 2> "$IT_DIR/velmora.log"
it_background "$build/Brimvale.app/Brimvale" 2> "$IT_DIR/app.log"
it_wait_for_dns 127.0.0.1

cat <<TEXT
Brimvale runs in this network namespace.
  DNS proxy (extension host):  127.0.0.1:53       log $IT_DIR/velmora.log
  filtering service (dnsdist): https://dns.brimvale.example/dns-query on 127.0.0.1:443
  system resolver (unbound):   127.0.0.2:53, zone example.test (www, bypass, filtered, second)
  safe-network probe:          http://probe.brimvale.example on 127.0.0.1:80, answers $(cat "$IT_DIR/probe-status")
                               (echo 200 > $IT_DIR/probe-status: safe network, filtering off)
  app:                         log $IT_DIR/app.log, screen in a window or $BRIMVALE_STATE_DIR/Screen.png
  state folder:                $BRIMVALE_STATE_DIR
TEXT

if [ -t 0 ]; then
    echo "Query with: dig @127.0.0.1 www.example.test    (exit the shell to stop everything)"
    PS1='brimvale-netns$ ' bash --norc -i || true
else
    IT_KEEP=1  # the logs and the screen named above stay for a look afterwards
    sleep 1  # the app saves the preferences and the host process starts the provider
    for name in www.example.test second.example.test; do
        echo "$name -> $(dig +short +timeout=2 +tries=1 @127.0.0.1 "$name")"
    done
fi
