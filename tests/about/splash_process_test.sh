#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The real program on a private display: the start-up window comes first, the main window
# follows, the start-up window goes and Kelvo keeps running; with "/S" as the last argument
# as well as without it.
set -euo pipefail
KELVO=$1
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/scripts/process_test.sh
source "$HERE/../support/scripts/process_test.sh"

# The start-up window's title, "Kelvo起動中", matched without its Japanese letters, which
# the window search does not take in every locale.
SPLASH="Kelvo.+"

splash_visible() { xdotool search --onlyvisible --name "^${SPLASH}\$" >/dev/null 2>&1; }

xvfb_start
cp "$KELVO" "$work/kelvo"
export QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config"
# Not a first start, so no welcome box comes between the windows.
: >"$work/setting.ini"

for args in "" "/s"; do
    # shellcheck disable=SC2086
    "$work/kelvo" $args >"$work/run.log" 2>&1 &
    pid=$!
    pids+=("$pid")
    wait_for_window "$SPLASH" >/dev/null || fail "no start-up window ($args)"
    wait_for_window Kelvo >/dev/null || fail "no main window ($args)"
    for _ in $(seq 1 50); do
        splash_visible || break
        sleep 0.1
    done
    if splash_visible; then fail "the start-up window stays ($args)"; fi
    sleep 0.5
    kill -0 "$pid" 2>/dev/null || fail "Kelvo ended with its start-up window ($args)"
    wait_for_window Kelvo >/dev/null || fail "the main window went ($args)"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
done
echo "start-up window, then the main window: ok"
