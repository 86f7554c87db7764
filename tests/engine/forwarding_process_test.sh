#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The real program on a private display, reading the private IMAP server and sending to the
# SMTP sink of the mail tests, with the system bus pointed at stand-in services.
#   menu:   forwarding is started from the menu, with a pass at every turn; a new message
#           reaches the sink by the next pass; after the stop command a later message stays
#           where it is; closing writes the log with the forward's line.
#   silent: started with "/s" as the last argument, Kelvo forwards a new message with no key
#           pressed; closing writes the log.
# Usage: forwarding_process_test.sh MODE KELVO SYSTEM_TEST_HELPER MAIL_STATE ARTIFACT_DIR
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
if [ "$1" = menu ]; then INTERVAL_MINUTES=0; fi
# shellcheck source=forwarding_setup.sh
source "$HERE/forwarding_setup.sh" "$@"

# Whatever happens, what the program printed and wrote stays with the screenshots.
keep_artifacts() {
    cp -f "$work/kelvo.out" "$work/転送ログ.txt" "$ARTIFACTS/" 2>/dev/null || true
}
trap 'keep_artifacts; cleanup' EXIT

# Opens the menu "接続(&C)" of the main window and chooses the item by its access key.
connect_menu() {
    local item=$1 before
    xdotool windowfocus --sync "$main" 2>/dev/null || true
    before=$(xdotool search --onlyvisible --pid "$kelvo" 2>/dev/null | grep -c . || true)
    press_key alt+c
    for _ in $(seq 1 50); do
        [ "$(xdotool search --onlyvisible --pid "$kelvo" 2>/dev/null | grep -c . || true)" -gt "$before" ] && break
        sleep 0.1
    done
    press_key "$item"
}

xvfb_start
export QT_QPA_PLATFORM=xcb
args=()
if [ "$MODE" = silent ]; then args=(/s); fi
"$work/kelvo" "${args[@]}" >"$work/kelvo.out" 2>&1 &
kelvo=$!
pids+=("$kelvo")
main=$(wait_for_window Kelvo) || fail "no main window"
screenshot "$ARTIFACTS/1-main-window.png"

if [ "$MODE" = menu ]; then
    connect_menu b
    # The window minimises a second after the start; its panels show the countdown.
    sleep 1
    screenshot "$ARTIFACTS/2-started.png"
fi

nonce="n$$x$RANDOM"
subject="自動転送の試験 $nonce"
mailbox deliver "$user" "$subject"
took=$(wait_for_forward "$nonce" $((INTERVAL_SECONDS + 30))) ||
    fail "the new message did not reach the sink ($MODE)"
# One interval and a turn of 2 s, plus the pass before and this one: their waits of 3 s after
# a forward and at their end.
[ "$took" -le $((INTERVAL_SECONDS + 12)) ] || fail "forwarded only after $took s"
echo "forwarded $took s after delivery"
# The monitor line follows the send by 3 s.
sleep 4
screenshot "$ARTIFACTS/3-forwarded.png"
kill -0 "$kelvo" 2>/dev/null || fail "Kelvo ended"

if [ "$MODE" = menu ]; then
    connect_menu s
    # The loop ends at the top of its next turn: after its wait of 2 s and the pass due in it,
    # whose end wait is 3 s.
    sleep 7
    screenshot "$ARTIFACTS/4-stopped.png"
    mailbox deliver "$user" "停止後 ${nonce}b"
    if wait_for_forward "${nonce}b" $((INTERVAL_SECONDS + 10)) >/dev/null; then
        fail "a message was forwarded after the stop command"
    fi
fi

# Closing: "終了(&X)" and the goodbye box.
connect_menu x
wait_for_window Kelvo 2 >/dev/null || fail "no goodbye box"
screenshot "$ARTIFACTS/5-goodbye.png"
press_key Return
wait_for_exit "$kelvo" || fail "Kelvo still running after the goodbye box"
wait "$kelvo" || fail "Kelvo ended with a failure"

# The log: CP932, CR LF, one block with its header and the forward's line.
log="$work/転送ログ.txt"
[ -f "$log" ] || fail "no log file"
iconv -f CP932 -t UTF-8 "$log" >"$work/log.utf8" || fail "the log is not CP932"
tr -d '\r' <"$work/log.utf8" >"$work/log.txt"
[ "$(grep -c $'\r$' "$log")" -eq "$(wc -l <"$log")" ] || fail "the log's lines do not end in CR LF"
grep -Eq '^[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}のログファイル$' "$work/log.txt" ||
    fail "no log header"
grep -Eq "^   [0-9]{2}:[0-9]{2}    件名「${subject}」 を転送終了\$" "$work/log.txt" ||
    fail "the log has no line of the forward: $(cat "$work/log.txt")"
if grep -q "エラー！" "$work/log.txt"; then fail "the log has an error line: $(cat "$work/log.txt")"; fi
if grep -q "${nonce}b" "$work/log.txt"; then fail "the log shows a forward after the stop"; fi
echo "forwarding from the private server to the sink ($MODE): ok"
