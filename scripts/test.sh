#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs what Kelvo needs, builds it and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
ctest --test-dir "${KELVO_BUILD_DIR:-build}" --output-on-failure -j "$(nproc)" --timeout 300
