#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The real program, started with "/S" offscreen, forwarding from the private IMAP server to the
# SMTP sink, ended by a signal.
#   sigterm-wait: SIGTERM while Kelvo waits between passes: exit status 0, the log block
#                 written, the forwarded mail marked read; the next start forwards only the
#                 new mail.
#   sigterm-pass: SIGTERM after the first of four forwards of a pass: exit status 0, the
#                 log written, what went out marked read and nothing else; the next start
#                 forwards the rest and none a second time.
#   sigkill:      SIGKILL at the same moment: the next start forwards every mail not marked
#                 read (within the 30-minute window), and none is lost.
#   early:        SIGTERM, SIGINT and SIGHUP that came before Kelvo ran (held blocked across
#                 its start): exit status 0 at once, nothing forwarded.
# state.ini tells the next start how the run ended: clean after a signal, not after SIGKILL.
# Usage: signal_process_test.sh MODE KELVO SYSTEM_TEST_HELPER MAIL_STATE ARTIFACT_DIR
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=forwarding_setup.sh
source "$HERE/forwarding_setup.sh" "$@"
keep_artifacts() { cp -f "$work"/kelvo-*.out "$work/転送ログ.txt" "$ARTIFACTS/" 2>/dev/null || true; }
trap 'keep_artifacts; cleanup' EXIT
export QT_QPA_PLATFORM=offscreen

run=0
start_kelvo() {
    run=$((run + 1))
    "$work/kelvo" /S >"$work/kelvo-$run.out" 2>&1 &
    kelvo=$!
    pids+=("$kelvo")
}
# Sends the signal and expects the program to end by itself with status 0.
end_with() {
    kill "-$1" "$kelvo"
    wait_for_exit "$kelvo" || fail "Kelvo still runs 5 s after SIG$1"
    local status=0
    wait "$kelvo" || status=$?
    [ "$status" -eq 0 ] || fail "exit status $status after SIG$1: $(cat "$work/kelvo-$run.out")"
}
forwards() { mailbox received "$phone" "$1"; }
read_marks() { mailbox seen "$user" "$1"; }
log_blocks() { iconv -f CP932 -t UTF-8 "$work/転送ログ.txt" | grep -c 'のログファイル' || true; }
state_value() { iconv -f CP932 -t UTF-8 "$work/state.ini" | tr -d '\r' | sed -n "s/^$1=//p"; }
nonce="n$$x$RANDOM"

if [ "$MODE" = early ]; then
    mailbox deliver "$user" "早期 ${nonce}"
    for sig in TERM INT HUP; do
        run=$((run + 1))
        # The signal is sent while blocked, so it waits for Kelvo's own code, however fast or
        # slow its start.
        /usr/bin/python3 -c 'import os, signal, sys
s = getattr(signal, "SIG" + sys.argv[1])
signal.pthread_sigmask(signal.SIG_BLOCK, {s})
os.kill(os.getpid(), s)
os.execv(sys.argv[2], sys.argv[2:])' "$sig" "$work/kelvo" /S >"$work/kelvo-$run.out" 2>&1 &
        kelvo=$!
        pids+=("$kelvo")
        wait_for_exit "$kelvo" || fail "Kelvo still runs 5 s after an early SIG$sig"
        status=0
        wait "$kelvo" || status=$?
        [ "$status" -eq 0 ] || fail "exit status $status after an early SIG$sig"
    done
    [ "$(forwards "${nonce}")" -eq 0 ] || fail "a start ended by a signal forwarded mail"
    echo "signals before the start: ok"
    exit 0
fi

if [ "$MODE" = sigterm-wait ]; then
    mailbox deliver "$user" "待機中 ${nonce}a"
    start_kelvo
    wait_for_forward "${nonce}a" 40 >/dev/null || fail "the first mail was not forwarded"
    # The pass ends 3 s after its forward; then Kelvo waits for the next one.
    sleep 6
    end_with TERM
    [ "$(log_blocks)" -eq 1 ] || fail "no log block after SIGTERM"
    [ "$(read_marks "${nonce}a")" -eq 1 ] || fail "the forwarded mail is not marked read"
    [ "$(state_value 正常終了)" = 1 ] || fail "state.ini does not say the run ended clean"
    [ -z "$(state_value 最終完了チェック)" ] || fail "a clean end left a reach behind"
    mailbox deliver "$user" "待機中 ${nonce}b"
    start_kelvo
    wait_for_forward "${nonce}b" 40 >/dev/null || fail "the new mail was not forwarded"
    sleep 6
    end_with TERM
    [ "$(forwards "${nonce}a")" -eq 1 ] || fail "the first mail was forwarded again"
    [ "$(log_blocks)" -eq 2 ] || fail "the second run wrote no log block"
    echo "SIGTERM between passes: ok"
    exit 0
fi

for n in 1 2 3 4; do mailbox deliver "$user" "パス中 ${nonce}-$n"; done
start_kelvo
wait_for_forward "${nonce}-" 40 >/dev/null || fail "nothing was forwarded"
# The forward's monitor line follows its send by 3 s; the next forward is then under way.
sleep 3.5
if [ "$MODE" = sigterm-pass ]; then
    end_with TERM
    [ "$(log_blocks)" -eq 1 ] || fail "no log block after SIGTERM"
    [ "$(state_value 正常終了)" = 1 ] || fail "state.ini does not say the run ended clean"
else
    kill -KILL "$kelvo"
    wait "$kelvo" 2>/dev/null || true
    [ "$(state_value 正常終了)" = 0 ] || fail "state.ini says a killed run ended clean"
fi
sent=()
marked=()
for n in 1 2 3 4; do
    sent[n]=$(forwards "${nonce}-$n")
    marked[n]=$(read_marks "${nonce}-$n")
    if [ "$MODE" = sigterm-pass ] && [ "${sent[n]}" != "${marked[n]}" ]; then
        fail "mail $n: forwarded ${sent[n]} times, marked read ${marked[n]} times at SIGTERM"
    fi
done
echo "at the signal: forwarded ${sent[*]}, marked read ${marked[*]}"
[ "${sent[1]}${sent[2]}${sent[3]}${sent[4]}" != 1111 ] || fail "the pass ended before the signal"

# The next start forwards the rest: every mail reaches the phone, those marked read only once.
start_kelvo
for n in 1 2 3 4; do
    wait_for_forward "${nonce}-$n" 60 >/dev/null || fail "mail $n was lost"
done
sleep 4
end_with TERM
for n in 1 2 3 4; do
    count=$(forwards "${nonce}-$n")
    if [ "${marked[n]}" -eq 1 ] && [ "$count" -ne 1 ]; then
        fail "mail $n, marked read, was forwarded $count times"
    fi
    if [ "$MODE" = sigterm-pass ] && [ "$count" -ne 1 ]; then fail "mail $n forwarded $count times"; fi
done
echo "$MODE during a pass: ok"
