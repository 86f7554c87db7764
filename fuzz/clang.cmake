# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Initial cache for the fuzz build, a configuration of its own beside the ordinary one:
#   cmake -S . -B build-fuzz -G Ninja -C fuzz/clang.cmake
# Every library is built with clang, coverage for libFuzzer and the address and
# undefined-behaviour checks; only the fuzz targets are added.
set(CMAKE_CXX_COMPILER clang++ CACHE STRING "")
set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "")
set(CMAKE_CXX_FLAGS
    "-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    CACHE STRING "")
set(KELVO_BUILD_TESTS OFF CACHE BOOL "")
set(KELVO_BUILD_BENCHMARKS OFF CACHE BOOL "")
set(KELVO_BUILD_FUZZERS ON CACHE BOOL "")
