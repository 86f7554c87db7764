#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs what Kelvo needs, builds it for release without its tests and makes the Debian
# package kelvo_<version>_<arch>.deb in ${KELVO_PACKAGE_DIR:-build-package}.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
BUILD_DIR="${KELVO_PACKAGE_DIR:-build-package}"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVO_BUILD_TESTS=OFF
cmake --build "$BUILD_DIR" --target kelvo
(cd "$BUILD_DIR" && cpack -G DEB)
ls "$BUILD_DIR"/kelvo_*.deb
