#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs everything Kelvo needs to build, run and test on Debian 12, and the packages named
# as arguments besides.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-translations-l10n
  qt6-networkauth-dev qtkeychain-qt6-dev libsecret-1-0 gnome-keyring
  libvmime-dev libetpan-dev libgnutls28-dev libgtest-dev libgmock-dev libsystemd-dev
  fonts-noto-cjk
  dovecot-imapd python3-aiosmtpd
  xvfb xdotool x11-utils dbus-daemon
  openssl
  imagemagick
  libbenchmark-dev clang libclang-rt-14-dev
  desktop-file-utils systemd
  scdoc groff-base man-db bsdextrautils lintian reuse appstream git
  "$@"
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  $SUDO apt-get update -qq
  # Keep services from starting on install: the tests run their own private servers.
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
