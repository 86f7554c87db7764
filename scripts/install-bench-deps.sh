#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs what the benchmarks need besides the build and test dependencies: the peer tools
# measured beside Kelvo (fetchmail's package would start a system-wide daemon if configured:
# it is not, and the benchmark runs it in the foreground against its own private server) and
# GNU time for their memory. scripts/bench.sh runs it before it measures; the tests never
# need it.
set -euo pipefail
cd "$(dirname "$0")/.."
exec scripts/install-deps.sh fetchmail imapfilter time
