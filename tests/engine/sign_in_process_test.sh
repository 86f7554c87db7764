#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The real program signing on with what `kelvo --sign-in` put into the test keyring, against
# the private servers; no token or password may show anywhere outside the keyring.
#   oauth2:   --sign-in goes through the browser (a stand-in that agrees at once) to the test
#             authorization server; then "/S" forwards over IMAP and SMTP with the token, again
#             after the server has let every access token expire (renewed at sign-on); once
#             the refresh token is revoked, one error line and one refused refresh, however
#             many passes follow.
#   password: --sign-in asks for the password in its dialog; "--service /S", the user service's
#             program without widgets or a display, forwards with it.
# "/S" runs a pass at every turn, about 5 s apart.
# In both, setting.ini, the log, everything the runs printed and every command line running
# during a sign-on (noted by the download command and the browser) are searched for the
# secrets.
# Usage: sign_in_process_test.sh MODE KELVO SYSTEM_TEST_HELPER MAIL_STATE ARTIFACT_DIR
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
INTERVAL_MINUTES=0
# shellcheck source=forwarding_setup.sh
source "$HERE/forwarding_setup.sh" "$@"
keep_artifacts() { cp -f "$work"/*.out "$work/転送ログ.txt" "$ARTIFACTS/" 2>/dev/null || true; }
trap 'keep_artifacts; cleanup' EXIT

keyring_state="$(dirname "$MAIL_STATE")/keyring_bus.json"
[ -f "$keyring_state" ] || fail "the test keyring is not running (fixture keyring)"
DBUS_SESSION_BUS_ADDRESS=$(/usr/bin/python3 -c \
    'import json, sys; print(json.load(open(sys.argv[1]))["address"])' "$keyring_state")
export DBUS_SESSION_BUS_ADDRESS
oauth() { mailbox oauth "$@"; }
token_requests() {
    oauth /control/log | /usr/bin/python3 -c \
        'import json, sys; print(sum(r["path"] == "/token" for r in json.load(sys.stdin)))'
}

# Every command line running at the moment, appended to a file of the run.
cat >"$work/note-commands.sh" <<EOF
for f in /proc/[0-9]*/cmdline; do tr '\\0' ' ' <"\$f" 2>/dev/null; echo; done >>"$work/command-lines.txt"
EOF
port=$(mailbox get oauth_port)
if [ "$MODE" = oauth2 ]; then
    secret_source="the authorization server's tokens"
    oauth /control/user "user=$user" >/dev/null
    oauth /control/lifetime "seconds=3600" >/dev/null
    server="store = imap://127.0.0.1:$(mailbox get oauth_imap_port)
auth = oauth2
oauth2-provider = custom
client-id = kelvo-process-test
authorize-url = http://127.0.0.1:$port/authorize
token-url = http://127.0.0.1:$port/token
scope = mail"
else
    secret_source="the password"
    server="store = imap://127.0.0.1:$(mailbox get imap_port)
smtp-auth = no
password-store = keyring"
fi
cat >"$XDG_CONFIG_HOME/kelvo/profiles.ini" <<EOF
[scripted]
$server
starttls = no
transport = smtp://127.0.0.1:$(mailbox get smtp_port)
user = $user
from = Kelvo Test <kelvo@example.jp>
timeout = 10
download-command = sh $work/note-commands.sh
EOF
chmod 600 "$XDG_CONFIG_HOME/kelvo/profiles.ini"

# The sign-in, on a display: the browser is a stand-in found first on the path.
xvfb_start
export QT_QPA_PLATFORM=xcb
mkdir "$work/bin"
cat >"$work/bin/xdg-open" <<EOF
#!/bin/sh
sh "$work/note-commands.sh"
exec /usr/bin/python3 -c 'import sys, urllib.request; urllib.request.urlopen(sys.argv[1], timeout=20).read()' "\$1"
EOF
chmod +x "$work/bin/xdg-open"
PATH="$work/bin:$PATH" "$work/kelvo" --sign-in scripted >"$work/sign-in.out" 2>&1 &
signin=$!
pids+=("$signin")
if [ "$MODE" = password ]; then
    dialog=$(wait_for_window "パスワードの保存") || fail "no password dialog"
    screenshot "$ARTIFACTS/1-password-dialog.png"
    xdotool windowfocus --sync "$dialog" 2>/dev/null || true
    xdotool type --delay 10 "$(mailbox get password)"
    press_key Return
fi
for _ in $(seq 1 300); do running_child "$signin" || break; sleep 0.1; done
status=0
wait "$signin" || status=$?
[ "$status" -eq 0 ] || fail "--sign-in ended with $status: $(cat "$work/sign-in.out")"
grep -q "キーリングに保存しました" "$work/sign-in.out" || fail "nothing stored: $(cat "$work/sign-in.out")"
grep -q "サインオンできました" "$work/sign-in.out" || fail "no sign-on: $(cat "$work/sign-in.out")"

# Unattended, with what the keyring holds.
if [ "$MODE" = password ]; then
    env -u QT_QPA_PLATFORM -u DISPLAY "$work/kelvo" --service /S >"$work/kelvo.out" 2>&1 &
else
    QT_QPA_PLATFORM=offscreen "$work/kelvo" /S >"$work/kelvo.out" 2>&1 &
fi
kelvo=$!
pids+=("$kelvo")
nonce="n$$x$RANDOM"
mailbox deliver "$user" "サインイン後 ${nonce}a"
wait_for_forward "${nonce}a" 40 >/dev/null || fail "the first mail was not forwarded"

if [ "$MODE" = oauth2 ]; then
    oauth /control/expire "" >/dev/null
    mailbox deliver "$user" "期限切れ後 ${nonce}b"
    wait_for_forward "${nonce}b" 40 >/dev/null || fail "not forwarded once the access token expired"
    oauth /control/revoke "" >/dev/null
    oauth /control/expire "" >/dev/null
    before=$(token_requests)
    mailbox deliver "$user" "失効後 ${nonce}c"
    # The pass that meets the revoked token asks for a new one; the passes after it, one at
    # every turn of 2 s, ask no more.
    for _ in $(seq 1 40); do
        [ "$(token_requests)" -gt "$before" ] && break
        sleep 0.5
    done
    sleep 7
    [ "$(mailbox received "$phone" "${nonce}c")" -eq 0 ] || fail "forwarded with a revoked token"
    asked=$(($(token_requests) - before))
    [ "$asked" -eq 1 ] || fail "the token endpoint was asked $asked times after the revocation"
else
    sleep 4 # the forward's monitor line follows the send by 3 s
fi
kill -TERM "$kelvo"
wait_for_exit "$kelvo" || fail "Kelvo still runs 5 s after SIGTERM"
wait "$kelvo" || fail "Kelvo ended with a failure: $(cat "$work/kelvo.out")"

iconv -f CP932 -t UTF-8 "$work/転送ログ.txt" | tr -d '\r' >"$work/log.txt"
if [ "$MODE" = oauth2 ]; then
    lines=$(grep -c "kelvo --sign-in" "$work/log.txt" || true)
    [ "$lines" -eq 1 ] || fail "$lines sign-in error lines: $(cat "$work/log.txt")"
elif grep -q "エラー！" "$work/log.txt"; then
    fail "the log has an error line: $(cat "$work/log.txt")"
fi

# The secrets are nowhere but in the keyring.
secrets=$(mktemp)
if [ "$MODE" = oauth2 ]; then
    oauth /control/tokens | /usr/bin/python3 -c \
        'import json, sys; print("\n".join(json.load(sys.stdin)))' >"$secrets"
else
    mailbox get password >"$secrets"
fi
[ -s "$secrets" ] || fail "no secrets to look for"
[ -s "$work/command-lines.txt" ] || fail "no command lines were noted"
found=$(grep -rlaF -f "$secrets" "$work" || true)
rm -f "$secrets"
[ -z "$found" ] || fail "$secret_source found in: $found"
echo "signing in and on with the keyring ($MODE): ok"
