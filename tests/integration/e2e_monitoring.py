#!/usr/bin/env python3
"""End to end: the extension's host process between a real upstream (unbound), the
filtering service (dnsdist over DNS-over-HTTPS), the safe-network probe endpoint and
the statistics collector, all on loopback in a network namespace of the test's own.

    e2e_monitoring.py PATH/TO/Velmora

Shows: a safe network passes queries to the upstream; a network change makes a probe
follow; an unsafe network sends queries to the service with the identifying headers,
follows the cookie, answers a blocked name as the service says and passes a bypass
domain through; a dead service leaves the query unanswered and still reports; the
queued reports are uploaded as one JSON batch once the count threshold is reached.
"""
import json
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PROXY_PORT = 5353
CONFIG = {
    "deviceName": "iPad",
    "serverAddress": "dns.brimvale.example",
    "macAddress": "aa:bb:cc:dd:ee:ff",
    "deviceId": "device-1",
    "userName": "pupil",
    "region": "eu",
    "bypassDomains": "bypass.test,other.test",
}


def isolated():
    links = subprocess.run(["ip", "-o", "link"], capture_output=True, text=True).stdout.splitlines()
    return len(links) == 1 and ": lo:" in links[0]


def reexec_isolated():
    # A mount namespace as well, so that logs go to stderr even where journald runs.
    script = ("ip link set lo up && (mount -t tmpfs none /run/systemd 2>/dev/null || true) && "
              'exec "$@"')
    os.execvp("timeout", ["timeout", "150", "unshare", "-rnm", "sh", "-c", script, "e2e", sys.executable,
                          os.path.abspath(__file__)] + sys.argv[1:])


failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def wait_for(predicate, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.05)
    return predicate()


def wait_port(host, port, udp=False):
    def ready():
        if udp:
            return query_udp(host, port, "a.test", timeout=0.3) is not None
        try:
            socket.create_connection((host, port), timeout=0.3).close()
            return True
        except OSError:
            return False
    if not wait_for(ready, 10):
        raise RuntimeError(f"nothing listens on {host}:{port}")


def build_query(name, ident=0x1234):
    question = b"".join(bytes([len(label)]) + label.encode() for label in name.split(".") if label) + b"\0"
    return struct.pack(">HHHHHH", ident, 0x0100, 1, 0, 0, 0) + question + struct.pack(">HH", 1, 1)


def first_a_record(answer):
    """The address of the first A record of an answer, or the return code text."""
    ident, flags, qd, an, _, _ = struct.unpack(">HHHHHH", answer[:12])
    if flags & 0xF:
        return f"rcode {flags & 0xF}"
    pos = 12
    for _ in range(qd):
        while answer[pos] != 0:
            pos += answer[pos] + 1
        pos += 5
    for _ in range(an):
        if answer[pos] & 0xC0 == 0xC0:
            pos += 2
        else:
            while answer[pos] != 0:
                pos += answer[pos] + 1
            pos += 1
        rtype, _, _, length = struct.unpack(">HHIH", answer[pos:pos + 10])
        pos += 10
        if rtype == 1:
            return socket.inet_ntoa(answer[pos:pos + 4])
        pos += length
    return "no address"


def query_udp(host, port, name, timeout=2.0):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(timeout)
        s.sendto(build_query(name), (host, port))
        try:
            return first_a_record(s.recvfrom(4096)[0])
        except socket.timeout:
            return None


def dig(name):
    out = subprocess.run(["kdig", "@127.0.0.1", "-p", str(PROXY_PORT), "+time=2", "+retry=0", "+short", name],
                         capture_output=True, text=True, timeout=10).stdout.strip()
    return out or None


class Log:
    def __init__(self, path):
        self.path = path

    def text(self):
        with open(self.path, errors="replace") as f:
            return f.read()

    def count(self, needle):
        return self.text().count(needle)

    def wait(self, needle, times=1, timeout=5):
        return wait_for(lambda: self.count(needle) >= times, timeout)


def write_configs(d):
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=brimvale",
                    "-addext", "subjectAltName=DNS:dns.brimvale.example,DNS:stats.eu.brimvale.example",
                    "-keyout", f"{d}/key.pem", "-out", f"{d}/cert.pem"], check=True, capture_output=True)
    with open(f"{d}/unbound.conf", "w") as f:
        f.write(f"""server:
  interface: 127.0.0.1
  port: 53
  do-daemonize: no
  chroot: ""
  username: ""
  directory: "{d}"
  pidfile: ""
  use-syslog: no
  verbosity: 0
  do-ip6: no
  access-control: 127.0.0.0/8 allow
  local-zone: "test." static
  local-data: "a.test. 60 IN A 192.0.2.10"
  local-data: "blocked.test. 60 IN A 192.0.2.66"
  local-data: "bypass.test. 60 IN A 192.0.2.20"
  local-data: "ident.test. 60 IN A 192.0.2.30"
  local-data: "cookie.test. 60 IN A 192.0.2.40"
remote-control:
  control-enable: no
""")
    # The service's verdict for every answer rides in its response headers; rules
    # that look at the request headers answer with addresses the upstream never gives.
    headers = {"x-verdict-categoryid": "42", "x-verdict-subcategoryid": "7", "x-verdict-denied": "true",
               "x-verdict-noise": "false", "x-verdict-denialid": "rule-9", "x-verdict-destinationip": "0.0.0.0",
               "x-verdict-destinationhost": "blocked.test", "bv-tx-id": "tx-1", "X-Brimvale-Cookie": "c1"}
    lua_headers = ", ".join(f'["{k}"]="{v}"' for k, v in headers.items())
    identity = ", ".join(f'HTTPHeaderRule("{k}", "^{v}$")' for k, v in [
        ("X-Brimvale-ClientID", CONFIG["macAddress"]), ("X-Brimvale-ApplianceID", CONFIG["deviceId"]),
        ("X-Brimvale-Username", CONFIG["userName"]), ("X-Brimvale-ApiRegion", CONFIG["region"]),
        ("Content-Type", "application/dns-udpwireformat")])
    with open(f"{d}/dnsdist.conf", "w") as f:
        f.write(f"""setSecurityPollSuffix("")
setLocal("127.0.0.2:5300")
newServer({{address="127.0.0.1:53", name="upstream", checkName="a.test."}})
addDOHLocal("127.0.0.1:443", "{d}/cert.pem", "{d}/key.pem", "/dns-query", {{customResponseHeaders={{{lua_headers}}}}})
addAction(AndRule({{QNameRule("ident.test."), {identity}}}), SpoofAction("192.0.2.31"))
addAction(AndRule({{QNameRule("cookie.test."), HTTPHeaderRule("X-Brimvale-Cookie", "^c1$")}}), SpoofAction("192.0.2.41"))
addAction(QNameRule("blocked.test."), SpoofAction("0.0.0.0"))
""")
    with open(f"{d}/config.json", "w") as f:
        json.dump(CONFIG, f)
    with open(f"{d}/status", "w") as f:
        f.write("200")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    if not isolated():
        reexec_isolated()
    velmora = os.path.abspath(sys.argv[1])
    d = tempfile.mkdtemp(prefix="e2e-monitoring-")
    processes = []

    def start(args, log_name, env=None):
        log = open(f"{d}/{log_name}", "w")
        processes.append(subprocess.Popen(args, stdout=log, stderr=subprocess.STDOUT, env=env))
        return processes[-1]

    try:
        write_configs(d)
        start(["unbound", "-c", f"{d}/unbound.conf"], "unbound.log")
        dnsdist = start(["dnsdist", "--supervised", "--disable-syslog", "-C", f"{d}/dnsdist.conf"], "dnsdist.log")
        start([sys.executable, f"{HERE}/servers/probe_server.py", "--status-file", f"{d}/status",
               "--log", f"{d}/probe.log"], "probe_server.log")
        start([sys.executable, f"{HERE}/servers/collector.py", "--address", "127.0.0.3", "--cert", f"{d}/cert.pem",
               "--key", f"{d}/key.pem", "--out", f"{d}/uploads"], "collector.log")
        wait_port("127.0.0.1", 53, udp=True)
        wait_port("127.0.0.1", 443)
        wait_port("127.0.0.1", 80)
        wait_port("127.0.0.3", 443)

        env = dict(os.environ, BRIMVALE_STATE_DIR=f"{d}/state", BRIMVALE_LOG_LEVEL="debug")
        start([velmora, "--listen", f"127.0.0.1:{PROXY_PORT}", "--resolver", "127.0.0.1", "--config",
               f"{d}/config.json", "--cacert", f"{d}/cert.pem",
               "--resolve", "dns.brimvale.example:443:127.0.0.1",
               "--resolve", "probe.brimvale.example:80:127.0.0.1",
               "--resolve", "stats.eu.brimvale.example:443:127.0.0.3"], "velmora.log", env)
        log = Log(f"{d}/velmora.log")
        check(log.wait("Probe returned: 200, safe network"), "the first probe finds a safe network")

        # Safe network: everything passes through to the upstream, the blocked name too.
        check(dig("a.test") == "192.0.2.10", "a safe network answers from the upstream")
        check(dig("blocked.test") == "192.0.2.66", "a safe network does not filter")
        check(log.count("Request headers:") == 0, "nothing went to the filtering service")

        # A network change: the probe follows and now finds an unsafe network.
        with open(f"{d}/status", "w") as f:
            f.write("500")
        probes_before = len(open(f"{d}/probe.log").readlines())
        subprocess.run("sysctl -qw net.ipv6.conf.default.disable_ipv6=1 && "
                       "ip link add eth0 type veth peer name eth0p && ip link set eth0 up && ip link set eth0p up "
                       "&& ip addr add 10.1.0.2/24 dev eth0 && ip route add default via 10.1.0.1 dev eth0",
                       shell=True, check=True)
        check(log.wait("Network event, Reachable via WiFi"), "the new default route is a network event")
        check(log.wait("Network event, firing probe now"), "a probe follows the event")
        check(log.wait("Probe returned: 500, unsafe network"), "the event probe finds an unsafe network")
        check(len(open(f"{d}/probe.log").readlines()) > probes_before, "the probe endpoint saw the event probe")

        # Unsafe network: the service answers, with the identifying headers and the cookie.
        check(dig("ident.test") == "192.0.2.31", "the service got the identifying headers")
        check(log.wait("Cookie changed!"), "the service's cookie is taken")
        check(dig("cookie.test") == "192.0.2.41", "the next request carries the service's cookie")
        check(dig("blocked.test") == "0.0.0.0", "a blocked name is answered as the service says")
        check(dig("bypass.test") == "192.0.2.20", "a bypass domain passes through")
        check(log.count("Matched bypass domain: bypass.test") == 1, "the bypass match is logged")

        # Fill the queue to the count threshold; each exchange leaves one report.
        exchanges = log.count("Request headers:")
        for i in range(99 - exchanges):
            query_udp("127.0.0.1", PROXY_PORT, "a.test")
        check(log.wait("Connection reports, current size: Optional(98)"), "one report per exchange")

        # A dead service: no answer, and still a report.
        dnsdist.terminate()
        dnsdist.wait(5)
        check(dig("a.test") is None, "a dead service leaves the query unanswered")
        check(log.wait("Failed when getting verdict response: (418)"), "the failure is logged with 418")
        check(log.wait("Connection reports, current size: Optional(99)"), "the failed exchange is reported too")

        # The check every 60 s finds 100 reports waiting and uploads them at once.
        check(wait_for(lambda: os.path.exists(f"{d}/uploads"), 75), "the batch is uploaded once due")
        check(log.wait("Reporting connection limit reached, reporting now"), "the count threshold is logged")
        with open(f"{d}/uploads") as f:
            uploads = [json.loads(line) for line in f]
        check(len(uploads) == 1, "one upload")
        upload = uploads[0]
        items = upload["body"]["items"]
        check(upload["path"] == "/device-1/-/extension", "the upload goes to the device's path")
        check(upload["content_type"] == "application/json", "the upload is JSON")
        check(len(items) == 100, f"the batch holds every report ({len(items)})")
        answered, failed = items[0], items[-1]
        expected = {"user": "pupil", "hw": "aa:bb:cc:dd:ee:ff", "extensionConnection": True,
                    "reportingType": "extension", "app_filtering_denied": True, "categoryId": "42",
                    "subCategoryId": "7", "verdict_application_rule": "rule-9", "tag": None, "noise": False,
                    "id": "tx-1", "packets": 2, "protocol": 6, "port": 53, "destIp": "0.0.0.0",
                    "httpHost": "blocked.test", "sourceIp": "10.1.0.2", "final_connection_object": True}
        for key, value in expected.items():
            check(answered.get(key) == value, f"report member {key} = {answered.get(key)!r}")
        check(answered["agent"].startswith("ios-dns v"), "the agent names the version")
        check(answered["upload"] == len(build_query("ident.test")) and answered["download"] > 0, "byte counts")
        check("categoryId" not in failed and "download" not in failed and failed["upload"] > 0,
              "the failed exchange's report has no verdict and no download")
        check(log.wait("Reported successfully"), "the upload's outcome is logged")
    finally:
        for p in processes:
            if p.poll() is None:
                p.terminate()
        for p in processes:
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
        if failures:
            print(f"--- velmora.log (kept in {d}) ---")
            subprocess.run(["tail", "-40", f"{d}/velmora.log"])
        else:
            shutil.rmtree(d, ignore_errors=True)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
