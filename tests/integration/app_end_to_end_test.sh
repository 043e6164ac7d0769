#!/usr/bin/env bash
# The app and the extension's host process meet only through the preferences and
# the settings store: on an empty state folder the app seeds the store and saves
# enabled preferences; the host process starts the provider with exactly that
# configuration; a changed store reaches the provider at the app's next launch.
# Run inside a network namespace of its own: usage app_end_to_end_test.sh VELMORA,
# with BRIMVALE naming the host app.
set -euo pipefail
velmora=$1
brimvale=${BRIMVALE:?the host app is needed}
work=$(mktemp -d /tmp/brimvale-e2e-XXXXXX)
export BRIMVALE_STATE_DIR=$work/state
prefs=$BRIMVALE_STATE_DIR/System/DNSProxy.plist
store=$BRIMVALE_STATE_DIR/AppGroups/group.com.brimvale.ios-dns-group.plist
host_pid=""

cleanup() {
    [ -n "$host_pid" ] && kill -TERM "$host_pid" 2>/dev/null && { wait "$host_pid" 2>/dev/null || true; }
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    for f in "$work"/*.log; do echo "--- $f" >&2; cat "$f" >&2; done
    exit 1
}

# Waits up to 10 s for a command to succeed.
wait_for() {
    for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
    return 1
}

# Python one-liners over the property lists.
plist_get() {  # FILE KEY... : prints the value at the key path
    python3 -c 'import plistlib,sys
v = plistlib.load(open(sys.argv[1], "rb"))
for k in sys.argv[2:]: v = v[k]
print(v)' "$@"
}
same_configuration() {  # the store holds exactly the preferences' provider configuration
    python3 -c 'import plistlib,sys
p = plistlib.load(open(sys.argv[1], "rb"))["providerConfiguration"]
s = plistlib.load(open(sys.argv[2], "rb"))
sys.exit(0 if len(p) == 7 and all(s.get(k) == v for k, v in p.items()) else 1)' "$prefs" "$store"
}

run_app() {  # LOG: one launch of the app, until it has saved the preferences and drawn its screen
    app_log=$work/$1
    rm -f "$work/screen.png"
    # In the foreground `timeout` hands the app one SIGTERM; otherwise it also sends one
    # to its process group, and the second may land after the app has put back the
    # default action on its way out.
    timeout --foreground 20 "$brimvale" --png "$work/screen.png" 2>"$app_log" &
    local app=$!
    wait_for test -s "$work/screen.png" || fail "the app drew no screen"
    wait_for grep -q "Saved preferences" "$app_log" || fail "the app saved no preferences"
    kill -TERM "$app"
    local status=0
    wait "$app" || status=$?
    [ "$status" = 0 ] || fail "the app did not end cleanly (exit status $status)"
}

# 0. Without a usable settings store the app does not start.
touch "$work/not-a-folder"
status=0
BRIMVALE_STATE_DIR=$work/not-a-folder timeout 10 "$brimvale" --png "$work/none.png" 2>"$work/no-store.log" || status=$?
[ "$status" = 1 ] && grep -q "cannot open the settings store" "$work/no-store.log" || fail "started without a store"

# 1. A fresh install seeds the store and saves enabled preferences naming the extension.
run_app first-launch.log
grep -q "Fresh install, loading config from pre-canned defaults" "$app_log" || fail "no seeding"
[ "$(plist_get "$prefs" enabled)" = True ] || fail "preferences not enabled"
[ "$(plist_get "$prefs" providerBundleIdentifier)" = com.brimvale.ios-dns.ext ] || fail "wrong extension"
[ "$(plist_get "$prefs" providerConfiguration serverAddress)" = dns.brimvale.example ] || fail "no default server"

# 2. The host process starts the provider with that configuration: the provider writes
#    what it was started with into the store, which is gone beforehand.
rm -f "$store"
# In the foreground, as the app's launches: the host process gets one SIGTERM at the
# end, where a second would end it at once.
BRIMVALE_LOG_LEVEL=debug timeout --foreground 60 "$velmora" --listen 127.0.0.1:53 --resolver 127.0.0.2 2>"$work/velmora.log" &
host_pid=$!
wait_for grep -q "Proxy started" "$work/velmora.log" || fail "the provider did not start"
wait_for test -s "$store" || fail "the provider wrote no settings"
same_configuration || fail "the provider's configuration differs from the saved preferences"
grep -q "userName = ios" "$work/velmora.log" || fail "start options without the user name"

# 3. A value changed in the store reaches the preferences at the app's next launch, and the
#    running host process starts the provider again with it.
python3 -c 'import plistlib,sys
s = plistlib.load(open(sys.argv[1], "rb")); s["userName"] = "pupil7"
plistlib.dump(s, open(sys.argv[1], "wb"))' "$store"
run_app second-launch.log
grep -q "Loading config from previosuly persisted user defaults" "$app_log" || fail "store was seeded again"
[ "$(plist_get "$prefs" providerConfiguration userName)" = pupil7 ] || fail "changed value not saved"
wait_for grep -q "userName = pupil7" "$work/velmora.log" || fail "the provider did not get the changed value"
[ "$(grep -c "Proxy started" "$work/velmora.log")" = 2 ] || fail "expected exactly one restart"
grep -q "DNS proxy preferences changed" "$work/velmora.log" || fail "no restart was logged"

# 4. Preferences that no longer enable the extension stop the provider.
python3 -c 'import plistlib,sys
p = plistlib.load(open(sys.argv[1], "rb")); p["enabled"] = False
plistlib.dump(p, open(sys.argv[1] + ".new", "wb"))' "$prefs"
mv "$prefs.new" "$prefs"
wait_for grep -q "Stopping proxy" "$work/velmora.log" || fail "the provider was not stopped"
sleep 0.3
[ "$(grep -c "Starting proxy" "$work/velmora.log")" = 2 ] || fail "the provider started again while disabled"
echo "end to end: ok"
