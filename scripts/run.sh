#!/usr/bin/env bash
# Installs what Kelvo needs, builds it and starts it. Arguments go to Kelvo ("/S" starts
# forwarding at once).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
exec "${KELVO_BUILD_DIR:-build}/src/shell/kelvo" "$@"
