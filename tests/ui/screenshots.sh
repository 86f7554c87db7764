#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The real program on a private display with the Japanese fonts, seen as its user sees it:
# a picture of the welcome box, the main window, the phone settings dialog, every page of the
# options dialog, the self-test dialog, the About window and the start-up window, saved as
# PNG files in OUTPUT_DIR. Fails when a window does not come up or a picture is blank.
# Usage: screenshots.sh KELVO OUTPUT_DIR  (ctest -R ui_screenshots: build/test-artifacts/screenshots)
set -euo pipefail
KELVO=$1
OUT=$2
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/scripts/process_test.sh
source "$HERE/../support/scripts/process_test.sh"

command -v import >/dev/null || fail "ImageMagick's import is needed (scripts/install-deps.sh)"
fc-list :lang=ja | grep -q . || fail "no Japanese font (fonts-noto-cjk)"
mkdir -p "$OUT"
rm -f "$OUT"/*.png

# The visible window of Kelvo with this title (Qt adds " — Kelvo", the program's name, to a
# title that lacks it); compared as text, so that Japanese titles need no locale for a
# regular expression.
window_named() {
    local id name
    for id in $(xdotool search --onlyvisible --pid "$kelvo" 2>/dev/null || true); do
        name=$(xdotool getwindowname "$id" 2>/dev/null || true)
        if [ "$name" = "$1" ] || [ "$name" = "$1 — Kelvo" ]; then
            echo "$id"
            return 0
        fi
    done
    return 1
}

# Waits (bounded, 15 s) for the window; prints its id.
wait_named() {
    for _ in $(seq 1 150); do
        window_named "$1" && return 0
        sleep 0.1
    done
    echo "FAIL: no window \"$1\"" >&2
    return 1
}

wait_gone() {
    for _ in $(seq 1 50); do
        window_named "$1" >/dev/null || return 0
        sleep 0.1
    done
    fail "window \"$1\" stays"
}

# Saves the window's picture once it has painted, and checks that it is not blank.
shoot() {
    local id=$1 name=$2 colours
    # Without a window, import would wait for a click.
    [ -n "$id" ] || fail "no window for $name"
    sleep 0.4
    import -window "$id" "$OUT/$name.png" 2>/dev/null || fail "no picture of $name"
    colours=$(identify -format '%k' "$OUT/$name.png")
    [ "$colours" -gt 8 ] || fail "$name is blank ($colours colours)"
    echo "$name.png"
}

# Opens a menu of the main window with its Alt key, then presses the keys for the item.
menu() {
    local before
    xdotool windowfocus --sync "$main" 2>/dev/null || true
    before=$(xdotool search --onlyvisible --pid "$kelvo" 2>/dev/null | grep -c . || true)
    press_key "$1"
    for _ in $(seq 1 50); do
        [ "$(xdotool search --onlyvisible --pid "$kelvo" 2>/dev/null | grep -c . || true)" -gt "$before" ] && break
        sleep 0.1
    done
    shift
    for key in "$@"; do press_key "$key"; done
}

start_kelvo() {
    "$work/kelvo" >>"$work/kelvo.out" 2>&1 &
    kelvo=$!
    pids+=("$kelvo")
}

stop_kelvo() {
    kill "$kelvo" 2>/dev/null || true
    wait_for_exit "$kelvo" || kill -9 "$kelvo" 2>/dev/null || true
    wait "$kelvo" 2>/dev/null || true
}

xvfb_start
cp "$KELVO" "$work/kelvo"
export QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" HOME="$work/home"
mkdir -p "$HOME"

# A first start: the welcome box, then the main window.
start_kelvo
shoot "$(wait_named Kelvo)" welcome
press_key Return
wait_gone "Kelvo起動中"
main=$(wait_named Kelvo)
shoot "$main" main-window

menu alt+m n
shoot "$(wait_named 携帯端末の設定)" phone-settings
press_key Escape
wait_gone 携帯端末の設定

menu alt+m f
options=$(wait_named オプション)
pages=(basic forwarded-mail rules multi-account other)
for i in "${!pages[@]}"; do
    [ "$i" -eq 0 ] || press_key ctrl+Tab
    shoot "$options" "options-$((i + 1))-${pages[$i]}"
done
press_key Escape
wait_gone オプション
# Each page is a picture of its own.
[ "$(md5sum "$OUT"/options-*.png | awk '{print $1}' | sort -u | wc -l)" -eq 5 ] ||
    fail "the options pages did not change"

menu alt+m Up Return
shoot "$(wait_named 自動転送のテスト)" self-test
press_key Escape
wait_gone 自動転送のテスト

menu alt+h Down Return
shoot "$(wait_named ﾊﾞｰｼﾞｮﾝ情報)" about
press_key Escape
wait_gone ﾊﾞｰｼﾞｮﾝ情報
stop_kelvo

# The start-up window is up for about a second: caught as soon as it shows, on a later start
# (no welcome box in front of it), tried a few times.
for _ in 1 2 3; do
    start_kelvo
    for _ in $(seq 1 100); do
        splash=$(window_named "Kelvo起動中") && break
        sleep 0.02
    done
    if [ -n "${splash:-}" ] && import -window "$splash" "$OUT/splash.png" 2>/dev/null &&
        [ "$(identify -format '%k' "$OUT/splash.png")" -gt 8 ]; then
        stop_kelvo
        echo splash.png
        break
    fi
    rm -f "$OUT/splash.png"
    splash=
    stop_kelvo
done
[ -f "$OUT/splash.png" ] || fail "no picture of the start-up window"
echo "screenshots in $OUT"
