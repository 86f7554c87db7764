# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Sourced by process tests: a private X display of their own, ended with the test.
# Sets DISPLAY; call xvfb_stop (or let the EXIT trap do it).
xvfb_start() {
    local fdfile
    fdfile=$(mktemp)
    # A painted root (-br), so that a closed window leaves no picture behind in screenshots.
    Xvfb -displayfd 9 -screen 0 1024x768x24 -br -nolisten tcp -noreset 9>"$fdfile" >/dev/null 2>&1 &
    XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
        if [ -s "$fdfile" ]; then break; fi
        sleep 0.05
    done
    if [ ! -s "$fdfile" ]; then
        echo "Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=":$(head -n1 "$fdfile")"
    rm -f "$fdfile"
}

xvfb_stop() {
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
}

# Waits (bounded) until a window with exactly this title exists; prints the newest id.
wait_for_window() {
    local title=$1 count=${2:-1} i ids
    for i in $(seq 1 150); do
        ids=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null || true)
        if [ "$(printf '%s\n' "$ids" | grep -c .)" -ge "$count" ]; then
            printf '%s\n' "$ids" | tail -n1
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Presses a key in the window that has the focus of this private display.
press_key() {
    xdotool key --clearmodifiers "$1"
}

# Saves a picture of the whole private display, when ImageMagick is there.
screenshot() {
    local file=$1
    mkdir -p "$(dirname "$file")"
    if command -v import >/dev/null 2>&1; then
        import -window root "$file" 2>/dev/null || true
    fi
}
