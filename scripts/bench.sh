#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds and runs Kelvo's benchmarks and fuzz targets and prints one table: each figure,
# its target, whether it was met, and a plain reference measured in the same run.
#
# Environment:
#   KELVO_BENCH_DIR     build folder of the benchmarks (build-bench)
#   KELVO_FUZZ_DIR      build folder of the clang fuzz build (build-fuzz)
#   KELVO_IDLE_SECONDS  how long the idle programs are watched (1740: the half hour between
#                       two passes of the default interval, less the first pass's last minute)
#   KELVO_FUZZ_SECONDS  how long each fuzz target runs (60; 0 leaves fuzzing out)
#   KELVO_BENCH_KEEP    a folder to keep the raw results in
#   KELVO_BENCH_ONLY    the sections to run, separated by commas (all when empty): engine,
#                       monitor, pass, idle (with push on, beside fetchmail --idle), peers
#                       (Kelvo beside fetchmail and imapfilter), accounts (a pass over three
#                       accounts as one Inbox beside each one's own and fetchmail polling the
#                       three), push (arrival to the phone beside fetchmail --idle and
#                       imapfilter's enter_idle, and with push off), fuzz
set -euo pipefail
cd "$(dirname "$0")/.."
# Everything is installed before anything is measured.
scripts/install-bench-deps.sh
BENCH_DIR="${KELVO_BENCH_DIR:-build-bench}"
FUZZ_DIR="${KELVO_FUZZ_DIR:-build-fuzz}"
IDLE_SECONDS="${KELVO_IDLE_SECONDS:-1740}"
FUZZ_SECONDS="${KELVO_FUZZ_SECONDS:-60}"
ONLY="${KELVO_BENCH_ONLY:-}"
FUZZERS=(ini message command)

want() { [ -z "$ONLY" ] || [[ ",$ONLY," == *",$1,"* ]]; }
if ! want fuzz; then FUZZ_SECONDS=0; fi
targets=()
want engine && targets+=(bench_engine)
want monitor && targets+=(bench_monitor)
want pass && targets+=(bench_pass)
want idle && targets+=(kelvo bench_peer_pass bench_idle_reference)
want peers && targets+=(kelvo bench_peer_pass)
want accounts && targets+=(bench_peer_pass)
want push && targets+=(kelvo bench_peer_pass)

echo "== Building the benchmarks in $BENCH_DIR"
cmake -S . -B "$BENCH_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVO_BUILD_BENCHMARKS=ON >/dev/null
if [ "${#targets[@]}" -gt 0 ]; then
    cmake --build "$BENCH_DIR" --target "${targets[@]}"
fi
if [ "$FUZZ_SECONDS" -gt 0 ]; then
    echo "== Building the fuzz targets in $FUZZ_DIR (clang)"
    cmake -S . -B "$FUZZ_DIR" -G Ninja -C fuzz/clang.cmake >/dev/null
    cmake --build "$FUZZ_DIR" --target "${FUZZERS[@]/#/fuzz_}"
fi

results=$(mktemp -d)
state="$results/mail_servers.json"
finish() {
    /usr/bin/python3 tests/mail/mail_servers.py stop "$state" || true
    if [ -n "${KELVO_BENCH_KEEP:-}" ]; then
        mkdir -p "$KELVO_BENCH_KEEP"
        cp -r "$results"/. "$KELVO_BENCH_KEEP"/
    fi
    rm -rf "$results"
}
trap finish EXIT
# Log lines stamped to the microsecond: the peers section times sessions from the log.
/usr/bin/python3 tests/mail/mail_servers.py start "$state" --timed-log

bench="$BENCH_DIR/bench"
if want engine; then
    echo "== Composition and settings"
    "$bench/bench_engine" --benchmark_out="$results/engine.json" --benchmark_out_format=json
fi
if want monitor; then
    echo "== Monitor with 100,000 lines"
    QT_QPA_PLATFORM=offscreen "$bench/bench_monitor" "$results/monitor.json"
    QT_QPA_PLATFORM=offscreen "$bench/bench_monitor" "$results/monitor_reference.json" --reference
fi
if want pass; then
    echo "== One pass over 1,000 and 10,000 unread messages"
    "$bench/bench_pass" "$state" "$results/pass.json" 1000 10000
fi
if want peers; then
    echo "== Kelvo beside fetchmail and imapfilter"
    /usr/bin/python3 bench/peers_bench.py "$bench/bench_peer_pass" "$BENCH_DIR/src/shell/kelvo" \
        "$state" "$results/peers.json"
fi
if want accounts; then
    echo "== Three accounts as one Inbox beside each one's own pass and fetchmail"
    /usr/bin/python3 bench/accounts_bench.py "$bench/bench_peer_pass" "$state" \
        "$results/accounts.json"
fi
if want idle; then
    echo "== Idle between passes with push on, beside fetchmail --idle (${IDLE_SECONDS} s)"
    /usr/bin/python3 bench/idle_bench.py "$bench/bench_peer_pass" "$BENCH_DIR/src/shell/kelvo" \
        "$bench/bench_idle_reference" "$state" "$results/idle.json" "$IDLE_SECONDS"
fi
if want push; then
    echo "== Arrival to the phone with push, beside fetchmail --idle and imapfilter; push off"
    /usr/bin/python3 bench/push_latency.py "$bench/bench_peer_pass" "$BENCH_DIR/src/shell/kelvo" \
        "$state" "$results/push.json"
fi
if [ "$FUZZ_SECONDS" -gt 0 ]; then
    for name in "${FUZZERS[@]}"; do
        echo "== Fuzzing $name for ${FUZZ_SECONDS} s"
        status=0
        nice fuzz/run_fuzzer.sh "$FUZZ_DIR/fuzz/fuzz_$name" "fuzz/corpus/$name" "$FUZZ_SECONDS" \
            "$results/fuzz-$name" >"$results/fuzz-$name.log" 2>&1 || status=$?
        echo "$status" >"$results/fuzz-$name.status"
        tail -n 3 "$results/fuzz-$name.log"
    done
fi

echo
echo "== Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | xargs)," \
     "$(awk '/MemTotal/ {printf "%.1f GB", $2 / 1048576}' /proc/meminfo) memory"
/usr/bin/python3 bench/report.py "$results" "$ONLY"
