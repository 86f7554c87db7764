#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Kelvo installed into a fresh prefix, as a user would have it: the program, its help, icon
# and menu entry in their places; started from elsewhere on a private display, it keeps its
# settings in the user's configuration directory and writes nothing beside itself.
set -euo pipefail
CMAKE=$1
BUILD=$2
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/scripts/process_test.sh
source "$HERE/../support/scripts/process_test.sh"

prefix="$work/prefix"
"$CMAKE" --install "$BUILD" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    fail "install: $(cat "$work/install.log")"

for f in bin/kelvo share/kelvo/kelvo.html share/applications/org.example.kelvo.desktop \
    share/metainfo/org.example.kelvo.metainfo.xml share/man/man1/kelvo.1.gz share/man/ja/man1/kelvo.1.gz \
    share/icons/hicolor/scalable/apps/kelvo.svg lib/systemd/user/kelvo.service; do
    [ -f "$prefix/$f" ] || fail "$f not installed"
done
[ -x "$prefix/bin/kelvo" ] || fail "bin/kelvo not executable"
[ ! -e "$prefix/bin/kelvo.html" ] || fail "help installed beside the program"
entry="$prefix/share/applications/org.example.kelvo.desktop"
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$entry" || fail "desktop entry does not validate"
fi
grep -qx 'Exec=kelvo' "$entry" || fail "Exec"
grep -qx 'Icon=kelvo' "$entry" || fail "Icon"
grep -qx 'Categories=Network;Email;' "$entry" || fail "Categories"
grep -q '^Name=' "$entry" || fail "English name"
grep -q '^Name\[ja\]=' "$entry" || fail "Japanese name"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/kelvo.svg" || fail "icon is not SVG"

# The user unit runs this install's program silently, without widgets, as a notify service,
# and systemd finds nothing wrong with it (a runtime directory of its own, no user manager
# needed).
unit="$prefix/lib/systemd/user/kelvo.service"
grep -qx "ExecStart=$prefix/bin/kelvo --service /S" "$unit" ||
    fail "unit ExecStart: $(grep ExecStart "$unit")"
for line in Type=notify WatchdogSec=5min Restart=on-failure; do
    grep -qx "$line" "$unit" || fail "unit lacks $line"
done
if grep -q '^Environment=.*QT_QPA_PLATFORM' "$unit"; then fail "the unit still picks a platform"; fi
if command -v systemd-analyze >/dev/null 2>&1; then
    mkdir -m 700 "$work/runtime"
    # The unit's documentation is this install's manual page.
    MANPATH="$prefix/share/man" XDG_RUNTIME_DIR="$work/runtime" systemd-analyze --user verify "$unit" \
        >"$work/verify.log" 2>&1 ||
        fail "systemd-analyze verify: $(cat "$work/verify.log")"
fi

# A user with an empty home, no XDG_CONFIG_HOME, starting Kelvo from the menu's directory.
home="$work/home"
mkdir -p "$home" "$work/elsewhere"
config="$home/.config/kelvo"
find "$prefix" -type f | sort >"$work/before.txt"

xvfb_start
cd "$work/elsewhere"
env -u XDG_CONFIG_HOME HOME="$home" QT_QPA_PLATFORM=xcb "$prefix/bin/kelvo" >"$work/run.log" 2>&1 &
pid=$!
pids+=("$pid")

wait_for_window Kelvo >/dev/null || fail "no welcome box: $(cat "$work/run.log")"
[ -f "$config/setting.ini" ] || fail "setting.ini not in $config"
iconv -f CP932 -t UTF-8 "$config/setting.ini" >"$work/setting.utf8" || fail "setting.ini is not CP932"
grep -q "^ログファイルパス=$config/転送ログ.txt" "$work/setting.utf8" ||
    fail "default log not in $config: $(grep ログファイルパス "$work/setting.utf8")"
press_key Return
sleep 1
kill -0 "$pid" 2>/dev/null || fail "Kelvo ended: $(cat "$work/run.log")"
wait_for_window Kelvo >/dev/null || fail "no main window"
[ -e "$config/kelvo.lock" ] || fail "the single-instance lock is not in $config"

kill "$pid"
wait "$pid" 2>/dev/null || true
find "$prefix" -type f | sort >"$work/after.txt"
diff "$work/before.txt" "$work/after.txt" >&2 || fail "Kelvo wrote into its installation"
[ -z "$(ls -A "$work/elsewhere")" ] || fail "Kelvo wrote into the directory it was started from"
echo "installed layout, settings in the user's configuration directory: ok"

# The unit's command line with no display and no platform chosen: Kelvo forwards (its first
# pass reports the missing Maildir on standard error) without loading any platform plugin, and
# ends cleanly on SIGTERM.
printf '[携帯電話の設定]\r\nメールアドレス=phone@phone.example.jp\r\n[基本設定]\r\n同時接続フラグ=1\r\n' |
    iconv -f UTF-8 -t CP932 >"$config/setting.ini"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_CONFIG_HOME -u NOTIFY_SOCKET \
    HOME="$home" "$prefix/bin/kelvo" --service /S >"$work/service.log" 2>&1 &
pid=$!
pids+=("$pid")
for _ in $(seq 1 100); do
    grep -q 'エラー！「' "$work/service.log" && break
    sleep 0.1
done
grep -q 'エラー！「' "$work/service.log" || fail "the service made no pass: $(cat "$work/service.log")"
if grep -E '/platforms/|libQt6XcbQpa|libQt6WaylandClient' "/proc/$pid/maps"; then
    fail "a platform plugin is loaded"
fi
kill -TERM "$pid"
wait_for_exit "$pid" || fail "the service still runs after SIGTERM"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "the service ended with status $status: $(cat "$work/service.log")"
echo "the unit's program without a display or a platform plugin: ok"
