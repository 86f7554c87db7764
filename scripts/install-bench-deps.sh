#!/usr/bin/env bash
# Installs what the benchmarks need besides the build and test dependencies: the peer tools
# measured beside Kelvo. scripts/bench.sh runs it before it measures; the tests never need it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
PACKAGES=(fetchmail imapfilter time)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  $SUDO apt-get update -qq
  # fetchmail's package would start a system-wide daemon if configured: it is not, and the
  # benchmark runs it in the foreground against its own private server.
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
