#!/usr/bin/env bash
# Installs every Debian package the project needs. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git pmccabe
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  libasio-dev libplist-dev libcurl4-openssl-dev libnghttp2-dev libssl-dev libjemalloc-dev libsystemd-dev nlohmann-json3-dev
  libcairo2-dev libpango1.0-dev fonts-lato libsdl2-dev libicu-dev
  libldns-dev libidn2-dev
  dnsdist unbound knot-dnsutils bind9-dnsutils dnsperf dnss nghttp2-client
  iproute2 openssl util-linux procps python3 python3-h2 curl
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
# Services shipped by the test servers (dnsdist, unbound) must not start on the host:
# the tests run their own instances inside network namespaces.
policy=/usr/sbin/policy-rc.d
made_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
  $SUDO chmod +x "$policy"
  made_policy=1
fi
trap '[ $made_policy -eq 1 ] && $SUDO rm -f "$policy"' EXIT
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
