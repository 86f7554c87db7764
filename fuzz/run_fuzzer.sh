#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Runs a libFuzzer target for a bounded time from its corpus.
#   run_fuzzer.sh FUZZER CORPUS SECONDS WORKDIR [RUNS]
# New inputs go to WORKDIR/corpus, crashing ones to WORKDIR/crashes; the corpus in the
# repository is only read. Ends with the fuzzer's status (non-zero on a crash).
set -euo pipefail
fuzzer=$1 corpus=$2 seconds=$3 work=$4 runs=${5:-0}
mkdir -p "$work/corpus" "$work/crashes"
# Seeds longer than max_len (the deeply nested message) are cut to it in runs; the suite's
# corpus replay reads them whole.
# A smaller quarantine keeps long runs within the memory limit.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=64}"
dict="${corpus%/}.dict"
args=(-max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
      -artifact_prefix="$work/crashes/")
if [ -f "$dict" ]; then args+=(-dict="$dict"); fi
# RUNS bounds the number of inputs as well, when more than 0.
if [ "$runs" -gt 0 ]; then args+=(-runs="$runs"); fi
exec "$fuzzer" "${args[@]}" "$work/corpus" "$corpus"
