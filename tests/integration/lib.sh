# Helpers for integration tests. Source inside a network namespace (netns-run.sh):
#   . "$(dirname "$0")/lib.sh"
# Every server started here is stopped, and the work folder removed, on exit.

set -eu

IT_DIR=$(mktemp -d /tmp/brimvale-it-XXXXXX)
IT_PIDS=""

it_cleanup() {
    for pid in $IT_PIDS; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    if [ "${IT_KEEP:-0}" = 1 ]; then echo "kept $IT_DIR" >&2; else rm -rf "$IT_DIR"; fi
}
trap it_cleanup EXIT

it_fail() {
    echo "FAIL: $*" >&2
    for log in "$IT_DIR"/*.log; do
        [ -f "$log" ] && { echo "--- $log" >&2; tail -n 40 "$log" >&2; }
    done
    exit 1
}

it_pass() { echo "ok: $*"; }

# Runs a command in the background and remembers it for cleanup.
it_background() {
    "$@" &
    IT_PIDS="$IT_PIDS $!"
}

# Waits until a DNS server at ADDRESS answers on UDP (any status), for up to 5 s.
it_wait_for_dns() {
    tries=0
    while ! kdig @"$1" -p "${2:-53}" ping.invalid +timeout=1 +retry=0 >/dev/null 2>&1; do
        tries=$((tries + 1))
        [ $tries -ge 50 ] && it_fail "no DNS server on $1"
        sleep 0.1
    done
}

# Waits up to 10 s until the file LOG holds PATTERN at least COUNT times (default once).
#   it_wait_for_log LOG PATTERN [COUNT]
it_wait_for_log() {
    tries=0
    until [ "$(grep -c -- "$2" "$1")" -ge "${3:-1}" ]; do
        tries=$((tries + 1))
        [ $tries -ge 100 ] && it_fail "not logged in $1: $2"
        sleep 0.1
    done
}

# Waits until something listens on TCP ADDRESS:PORT, for up to 5 s.
it_wait_for_tcp() {
    tries=0
    while ! (exec 3<>/dev/tcp/"$1"/"$2") 2>/dev/null; do
        tries=$((tries + 1))
        [ $tries -ge 50 ] && it_fail "nothing listens on $1:$2"
        sleep 0.1
    done
}

# Starts unbound on ADDRESS:53 answering the zone example.test from local data:
# www A 192.0.2.10, bypass A 192.0.2.20, filtered A 192.0.2.30, second A 192.0.2.40.
# Every other name is refused, so nothing is ever looked up elsewhere.
it_start_unbound() {
    cat > "$IT_DIR/unbound.conf" <<CONF
server:
  interface: $1
  port: 53
  do-daemonize: no
  use-syslog: no
  logfile: ""
  username: ""
  chroot: ""
  directory: "$IT_DIR"
  pidfile: ""
  access-control: 127.0.0.0/8 allow
  do-not-query-localhost: yes
  module-config: "iterator"
  local-zone: "example.test." static
  local-data: "www.example.test. 60 IN A 192.0.2.10"
  local-data: "bypass.example.test. 60 IN A 192.0.2.20"
  local-data: "filtered.example.test. 60 IN A 192.0.2.30"
  local-data: "second.example.test. 60 IN A 192.0.2.40"
  local-zone: "." refuse
remote-control:
  control-enable: no
CONF
    it_background unbound -d -c "$IT_DIR/unbound.conf" > "$IT_DIR/unbound.log" 2>&1
    it_wait_for_dns "$1"
}

# Makes a self-signed certificate for HOST: $IT_DIR/HOST.pem and $IT_DIR/HOST.key.
it_make_certificate() {
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
        -keyout "$IT_DIR/$1.key" -out "$IT_DIR/$1.pem" -days 2 -subj "/CN=$1" \
        -addext "subjectAltName=DNS:$1" > "$IT_DIR/openssl.log" 2>&1 || it_fail "openssl"
}

# Starts dnsdist with a DNS-over-HTTPS listener at ADDRESS:443, path /dns-query,
# certificate of HOST, forwarding to BACKEND (address:port). Further arguments are
# Lua lines appended to its configuration (rules, response headers).
it_start_dnsdist() {
    address=$1 host=$2 backend=$3
    shift 3
    {
        echo "setSecurityPollSuffix('')"
        echo "setLocal('$address:5300')"
        echo "newServer({address='$backend', healthCheckMode='up'})"
        for line in "$@"; do echo "$line"; done
    } > "$IT_DIR/dnsdist.conf"
    if ! grep -q addDOHLocal "$IT_DIR/dnsdist.conf"; then
        echo "addDOHLocal('$address:443', '$IT_DIR/$host.pem', '$IT_DIR/$host.key', '/dns-query')" >> "$IT_DIR/dnsdist.conf"
    fi
    it_background dnsdist --supervised --disable-syslog -C "$IT_DIR/dnsdist.conf" > "$IT_DIR/dnsdist.log" 2>&1
    it_wait_for_tcp "$address" 443
}

# The answer section's first address, or the status when there is none.
it_query() {
    out=$(kdig "$@" +timeout=2 +retry=0 2>&1) || true
    address=$(printf '%s\n' "$out" | awk '$1 !~ /^;/ && $4 == "A" { print $5; exit }')
    if [ -n "$address" ]; then echo "$address"; else
        printf '%s\n' "$out" | sed -n 's/.*status: \([A-Z]*\).*/\1/p; s/.*\(failed to query\|connection reset\|reply is truncated\).*/\1/p' | head -n 1
    fi
}

# Saved DNS proxy preferences, enabled, naming the extension, on standard output; the
# arguments are the provider configuration's KEY VALUE pairs.
it_proxy_preferences() {
    printf '%s\n' '<?xml version="1.0" encoding="UTF-8"?>' '<plist version="1.0"><dict>' \
        '  <key>localizedDescription</key><string>DNS</string>' '  <key>enabled</key><true/>' \
        '  <key>providerBundleIdentifier</key><string>com.brimvale.ios-dns.ext</string>' \
        '  <key>providerConfiguration</key><dict>'
    while [ $# -ge 2 ]; do
        printf '    <key>%s</key><string>%s</string>\n' "$1" "$2"
        shift 2
    done
    printf '%s\n' '  </dict>' '</dict></plist>'
}
