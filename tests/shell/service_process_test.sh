#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The real program as systemd runs it ("kelvo --service /S", no display, no platform plugin,
# NOTIFY_SOCKET set), reporting to this script's own notify socket instead of a service manager.
#   notify:  no platform plugin loaded, READY=1 once forwarding runs, WATCHDOG=1 for this
#            process, STOPPING=1 at the end of SIGTERM, exit status 0; under the journal
#            (JOURNAL_STREAM) the monitor lines come out on standard error with their priority
#            prefixes; the error line is a desktop notification on the session bus.
#   nophone: without a phone address nobody could fill in the phone dialog: exit status 1, the
#            message box's text on standard error, and never READY=1.
# Usage: service_process_test.sh MODE KELVO
set -euo pipefail
MODE=$1
KELVO=$2
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/scripts/process_test.sh
source "$HERE/../support/scripts/process_test.sh"

cp "$KELVO" "$work/kelvo"
# No mail profile and an empty home: every sign-on fails with an error line, and a timed finish
# of 0 hours gives a plain line at the start, which is what the journal needs.
mkdir -p "$work/home"
export XDG_CONFIG_HOME="$work/config" HOME="$work/home"
unset DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM DISPLAY WAYLAND_DISPLAY
phone="phone-$$@phone.example.jp"
if [ "$MODE" = nophone ]; then phone=""; fi
iconv -f UTF-8 -t CP932 >"$work/setting.ini" <<INI
[携帯電話の設定]
メールアドレス=$phone
[基本設定]
メールチェック間隔=10
同時接続フラグ=1
[その他]
自動終了フラグ=1
切断時間=0
ログ出力フラグ=1
ログファイルパス=$work/転送ログ.txt
INI

# The notify socket: every datagram, one line each, into a file; ends by itself.
/usr/bin/python3 - "$work/notify" "$work/notified" <<'PY' &
import socket, sys, time
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind(sys.argv[1])
s.settimeout(0.5)
end = time.time() + 60
with open(sys.argv[2], "a") as out:
    while time.time() < end:
        try:
            out.write(s.recv(4096).decode() + "\n")
            out.flush()
        except socket.timeout:
            pass
PY
pids+=("$!")
for _ in $(seq 1 50); do [ -S "$work/notify" ] && break; sleep 0.1; done
[ -S "$work/notify" ] || fail "no notify socket"

# A private session bus, whose notifications are watched: nothing answers them.
bus="unix:path=$work/bus"
dbus-daemon --session --nofork --nopidfile --address="$bus" >/dev/null 2>&1 &
pids+=("$!")
for _ in $(seq 1 50); do [ -S "$work/bus" ] && break; sleep 0.1; done
[ -S "$work/bus" ] || fail "no session bus"
dbus-monitor --address "$bus" "interface='org.freedesktop.Notifications',member='Notify'" \
    >"$work/notifications" 2>&1 &
pids+=("$!")
sleep 0.3

# Waits (bounded) until the file has a line that matches.
wait_for_line() {
    for _ in $(seq 1 "$3"); do
        grep -q "$2" "$1" 2>/dev/null && return 0
        sleep 0.2
    done
    return 1
}

# The watchdog is this process's own: WATCHDOG_PID is the pid that exec keeps.
DBUS_SESSION_BUS_ADDRESS="$bus" NOTIFY_SOCKET="$work/notify" JOURNAL_STREAM=8:4242 WATCHDOG_USEC=1000000 \
    bash -c 'export WATCHDOG_PID=$$; exec "$0" --service /S' "$work/kelvo" >"$work/out" 2>"$work/err" &
kelvo=$!
pids+=("$kelvo")

if [ "$MODE" = nophone ]; then
    wait_for_exit "$kelvo" || sleep 10
    status=0
    wait "$kelvo" || status=$?
    [ "$status" -eq 1 ] || fail "exit status $status, not 1: $(cat "$work/err")"
    grep -q '転送先のメールアドレスが、正しくありません。' "$work/err" ||
        fail "the message is not on standard error: $(cat "$work/err")"
    if grep -q '^READY=1' "$work/notified" 2>/dev/null; then fail "READY=1 without forwarding"; fi
    echo "a service without a phone address: status 1: ok"
    exit 0
fi

wait_for_line "$work/notified" '^READY=1' 100 || fail "no READY=1: $(cat "$work/err")"
# No platform plugin, so no window could be built.
if grep -E '/platforms/|libQt6XcbQpa|libQt6WaylandClient' "/proc/$kelvo/maps"; then
    fail "a platform plugin is loaded"
fi
wait_for_line "$work/notified" '^WATCHDOG=1' 50 || fail "no WATCHDOG=1"
# The first pass's failed sign-on gives an error line.
wait_for_line "$work/err" '^<3>   [0-9][0-9]:[0-9][0-9]    エラー！「' 100 ||
    fail "no error line on standard error: $(cat "$work/err")"
wait_for_line "$work/notifications" 'Kelvo：エラー' 50 ||
    fail "no notification of the error: $(cat "$work/notifications")"
kill -TERM "$kelvo"
wait_for_exit "$kelvo" || fail "still running after SIGTERM"
status=0
wait "$kelvo" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
wait_for_line "$work/notified" '^STOPPING=1' 25 || fail "no STOPPING=1"
grep -q '^<6>   [0-9][0-9]:[0-9][0-9]    ' "$work/err" || fail "no plain line with <6>: $(cat "$work/err")"
if grep -v '^<[36]>' "$work/err" | grep -q '^   [0-9][0-9]:[0-9][0-9]    '; then
    fail "a monitor line without its prefix"
fi
[ -f "$work/転送ログ.txt" ] || fail "no log written at the end"
echo "a notify service: READY, WATCHDOG, STOPPING and the journal's prefixes: ok"
