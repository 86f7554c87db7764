#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs what Kelvo needs, builds it and starts it. Arguments go to Kelvo ("/S" starts
# forwarding at once).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
exec "${KELVO_BUILD_DIR:-build}/src/shell/kelvo" "$@"
