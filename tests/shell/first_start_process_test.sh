#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The real program, copied alone into an empty directory and started on a private display:
# it writes setting.ini, greets once, and a second start says goodbye and ends while the
# first keeps running.
set -euo pipefail
KELVO=$1
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/scripts/process_test.sh
source "$HERE/../support/scripts/process_test.sh"

xvfb_start
cp "$KELVO" "$work/kelvo"
export QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config"

"$work/kelvo" >"$work/first.log" 2>&1 &
first=$!
pids+=("$first")

wait_for_window Kelvo >/dev/null || fail "no welcome box"
[ -f "$work/setting.ini" ] || fail "setting.ini not written"
iconv -f CP932 -t UTF-8 "$work/setting.ini" >"$work/setting.utf8" || fail "setting.ini is not CP932"
[ "$(grep -c '^\[' "$work/setting.utf8")" -eq 6 ] || fail "sections"
[ "$(grep -c '=' "$work/setting.utf8")" -eq 61 ] || fail "keys"
[ "$(grep -c $'\r$' "$work/setting.ini")" -eq 67 ] || fail "CR LF line ends"
head -n1 "$work/setting.utf8" | grep -q '^\[携帯電話の設定\]' || fail "first section"
grep -q "^ログファイルパス=$work/転送ログ.txt" "$work/setting.utf8" || fail "log path"
before=$(md5sum "$work/setting.ini")

press_key Return
# The main window comes up after the welcome box.
sleep 1
kill -0 "$first" 2>/dev/null || fail "first instance ended"

"$work/kelvo" >"$work/second.log" 2>&1 &
second=$!
pids+=("$second")
# The goodbye box of the second start.
wait_for_window Kelvo 2 >/dev/null || fail "no goodbye box"
press_key Return
wait_for_exit "$second" || fail "second instance still running"
wait "$second" || fail "second instance failed"
kill -0 "$first" 2>/dev/null || fail "first instance ended with the second"
[ "$(md5sum "$work/setting.ini")" = "$before" ] || fail "setting.ini changed"
[ ! -e "$work/転送ログ.txt" ] || fail "second instance wrote a log"
echo "first start and second instance: ok"
