# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Sourced by tests that run the real program: a private display, a fresh work directory,
# and clean-up of both and of every process listed in `pids` when the test ends.
# shellcheck source=xvfb.sh
source "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"

work=$(mktemp -d)
chmod 755 "$work"
pids=()
# True while the process is a running child of this script, so that a number the system has
# handed on to another process is never signalled.
running_child() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    stat=${stat##*) }
    # shellcheck disable=SC2086
    set -- $stat
    [ "$1" != Z ] && [ "$2" = "$$" ]
}

# Waits (bounded, 5 s) until the child has ended; false while it still runs.
wait_for_exit() {
    for _ in $(seq 1 50); do
        running_child "$1" || return 0
        sleep 0.1
    done
    ! running_child "$1"
}

cleanup() {
    local p
    for p in "${pids[@]}"; do
        if running_child "$p"; then kill "$p" 2>/dev/null || true; fi
    done
    # Each gets a few seconds to end by itself, so that its own clean-up runs.
    for p in "${pids[@]}"; do
        wait_for_exit "$p" || kill -9 "$p" 2>/dev/null || true
        wait "$p" 2>/dev/null || true
    done
    xvfb_stop
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
