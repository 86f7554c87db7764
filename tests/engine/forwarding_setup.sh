# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# shellcheck shell=bash
# work comes from process_test.sh; INTERVAL_SECONDS is for the script that sources this one.
# shellcheck disable=SC2154,SC2034
# Sourced by the scripted runs of the real program against the private IMAP server and SMTP
# sink: a fresh user and phone address for the run, the stand-in system services on a private
# bus, the program alone in the work folder with its settings, and its mail profile.
# Sourced with the script's arguments, MODE KELVO SYSTEM_TEST_HELPER MAIL_STATE ARTIFACT_DIR,
# HERE set to the script's folder, and INTERVAL_MINUTES, the check interval, when a run wants
# another than a quarter minute (0: a pass at every turn, about 5 s apart).
MODE=$1
KELVO=$2
BUS_HELPER=$3
MAIL_STATE=$4
ARTIFACTS=$5
# shellcheck source=../support/scripts/process_test.sh
source "$HERE/../support/scripts/process_test.sh"
INTERVAL_MINUTES=${INTERVAL_MINUTES:-0.25}
INTERVAL_SECONDS=$(awk -v minutes="$INTERVAL_MINUTES" 'BEGIN { print int(minutes * 60) }')
mailbox() { /usr/bin/python3 "$HERE/test_mailbox.py" "$MAIL_STATE" "$@"; }
[ -f "$MAIL_STATE" ] || fail "the mail servers are not running (fixture mail_servers)"

# Fresh names for this run: the servers are shared with the other tests that run beside it.
user="scripted-$MODE-$$"
phone="phone-$MODE-$$@phone.example.jp"
mkdir -p "$ARTIFACTS"
rm -f "$ARTIFACTS"/*

# The stand-in logind and NetworkManager on a private bus; the helper serves until its
# input closes or it is told to end.
mkfifo "$work/bus.in"
"$BUS_HELPER" private-bus <"$work/bus.in" >"$work/bus.out" 2>"$work/bus.err" &
pids+=("$!")
exec 7>"$work/bus.in"
for _ in $(seq 1 100); do
    grep -q '^DBUS_SYSTEM_BUS_ADDRESS=' "$work/bus.out" 2>/dev/null && break
    sleep 0.1
done
bus=$(sed -n 's/^DBUS_SYSTEM_BUS_ADDRESS=//p' "$work/bus.out")
[ -n "$bus" ] || fail "no private system bus: $(cat "$work/bus.err")"
export DBUS_SYSTEM_BUS_ADDRESS="$bus"
unset DBUS_SESSION_BUS_ADDRESS

# The program alone in a folder with its settings: the interval, a first pass at once, and
# nothing that reaches system control (no dial-up, no timed finish, no program).
cp "$KELVO" "$work/kelvo"
iconv -f UTF-8 -t CP932 >"$work/setting.ini" <<EOF
[携帯電話の設定]
メールアドレス=$phone
端末電源OFF=1
端末プログラム実行=0
[基本設定]
自動分割フラグ=1
メールチェック間隔=$INTERVAL_MINUTES
同時接続フラグ=1
[その他]
プロファイル使用フラグ=0
自動終了フラグ=0
電源OFFフラグ=0
スケジュールフラグ=0
ログ出力フラグ=1
ログファイルパス=$work/転送ログ.txt
ダイヤルアップフラグ=0
EOF

# The mail profile in a configuration folder of this run only.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/kelvo"
cat >"$XDG_CONFIG_HOME/kelvo/profiles.ini" <<EOF
[scripted]
store = imap://127.0.0.1:$(mailbox get imap_port)
starttls = no
transport = smtp://127.0.0.1:$(mailbox get smtp_port)
smtp-auth = no
user = $user
password = $(mailbox get password)
from = Kelvo Test <kelvo@example.jp>
timeout = 10
EOF
chmod 600 "$XDG_CONFIG_HOME/kelvo/profiles.ini"

# Waits (bounded) until the sink has kept `count` forwards whose subject holds the word;
# prints the seconds it took.
wait_for_forward() {
    local word=$1 limit=$2 started=$SECONDS
    while [ $((SECONDS - started)) -le "$limit" ]; do
        if [ "$(mailbox received "$phone" "$word")" -ge 1 ]; then
            echo $((SECONDS - started))
            return 0
        fi
        sleep 0.5
    done
    return 1
}

