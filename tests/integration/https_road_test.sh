#!/bin/bash
# Runs the in-process HTTPS road tests against unbound and a dnsdist DNS-over-HTTPS
# server in this network namespace.   https_road_test.sh  (inside netns-run.sh)
# The service answers big.example.test itself, with about 4 KB.
. "$(dirname "$0")/lib.sh"

it_start_unbound 127.0.0.2
it_make_certificate dns.brimvale.example
it_start_dnsdist 127.0.0.3 dns.brimvale.example 127.0.0.2:53 \
    "addDOHLocal('127.0.0.3:443', '$IT_DIR/dns.brimvale.example.pem', '$IT_DIR/dns.brimvale.example.key', '/dns-query', {customResponseHeaders={['x-brimvale-cookie']='c1'}})" \
    "addAction(NotRule(AndRule({HTTPHeaderRule('X-Brimvale-ClientID', '^aa:bb:cc:dd:ee:ff\$'), HTTPHeaderRule('X-Brimvale-ApplianceID', '^dev-1\$'), HTTPHeaderRule('X-Brimvale-Username', '^alice\$'), HTTPHeaderRule('X-Brimvale-ApiRegion', '^syd-1\$'), HTTPHeaderRule('Content-Type', '^application/dns-udpwireformat\$')})), RCodeAction(DNSRCode.REFUSED))" \
    "addAction(AndRule({QNameRule('second.example.test.'), NotRule(HTTPHeaderRule('X-Brimvale-Cookie', '^c1\$'))}), RCodeAction(DNSRCode.REFUSED))" \
    "addAction(QNameRule('bypass.example.test.'), RCodeAction(DNSRCode.REFUSED))" \
    "addAction(QNameRule('filtered.example.test.'), SpoofAction('192.0.2.99'))" \
    "addAction(QNameRule('big.example.test.'), SpoofRawAction((function() local t = {} for i = 1, 15 do t[i] = '\\255' .. string.rep('x', 255) end return t end)()))"

export IT_CA_BUNDLE="$IT_DIR/dns.brimvale.example.pem"
"$INTEGRATION_TESTS" --gtest_filter='HttpsRoad.*' || it_fail "HTTPS road tests"
