#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs what Kelvo needs, builds it and runs the whole test suite.
#   scripts/test.sh                     the whole suite
#   scripts/test.sh --sanitize          the tests of the mail layer, push, the keyring and the
#                                       cycle (label "sanitize") built with AddressSanitizer and
#                                       UndefinedBehaviorSanitizer, then with ThreadSanitizer
#   scripts/test.sh --sanitize=address  one of the two
#   scripts/test.sh --sanitize=thread
set -euo pipefail
cd "$(dirname "$0")/.."

sanitizers=()
case "${1:-}" in
  "") ;;
  --sanitize) sanitizers=(address thread) ;;
  --sanitize=address|--sanitize=thread) sanitizers=("${1#--sanitize=}") ;;
  *) echo "usage: $0 [--sanitize[=address|thread]]" >&2; exit 2 ;;
esac

if [ "${#sanitizers[@]}" -eq 0 ]; then
  scripts/build.sh
  exec ctest --test-dir "${KELVO_BUILD_DIR:-build}" --output-on-failure -j "$(nproc)" --timeout 300
fi

scripts/install-deps.sh
supp="$PWD/tests/sanitizers"
# Only the programs of the set are built: what links into them is instrumented, the system's
# libraries are not (the suppressions say which of their reports are theirs, and why).
targets=(mail_unit_tests mail_integration_tests session_tests cycle_tests phone_conversation_tests
         mail_fault_tests several_accounts_tests system_tests)
for kind in "${sanitizers[@]}"; do
  dir="build-$kind"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVO_SANITIZE="$kind" \
    -DKELVO_BUILD_BENCHMARKS=OFF
  cmake --build "$dir" --target "${targets[@]}"
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
  export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$supp/ubsan.supp"
  # die_after_fork=0: a child forked by these programs (QProcess for the tests' helper servers,
  # the command runner) makes system calls only and then exec; TSan has nothing to check there.
  # ignore_noninstrumented_modules=1: what the system's libraries touch between their own
  # threads (GIO's D-Bus worker under libsecret and QtKeychain) is theirs, and reporting it
  # trips a CHECK inside TSan itself; Kelvo's own accesses are all still checked.
  export TSAN_OPTIONS="suppressions=$supp/tsan.supp:halt_on_error=1:second_deadlock_stack=1:print_suppressions=0:die_after_fork=0:ignore_noninstrumented_modules=1"
  ctest --test-dir "$dir" -L sanitize --output-on-failure -j "$(nproc)" --timeout 600
done
