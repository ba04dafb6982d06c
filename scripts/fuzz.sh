#!/usr/bin/env bash
# Builds the fuzzer with clang (AddressSanitizer, UndefinedBehaviorSanitizer) and runs it
# over the seed corpus and the regression files for the given number of seconds (60).
# A crash, a leak, undefined behaviour, a run over 1 s or an allocation over 64 MB fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CXX=clang++ CC=clang cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVOSTREL_FUZZ=ON -DVOSTREL_GUI=OFF -DVOSTREL_TESTS=OFF -DVOSTREL_BENCH=OFF
cmake --build build-fuzz --target survey_fuzzer make_fuzz_corpus
build-fuzz/tools/../fuzz/make_fuzz_corpus build-fuzz/seeds > /dev/null
mkdir -p build-fuzz/corpus
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
build-fuzz/fuzz/survey_fuzzer build-fuzz/corpus build-fuzz/seeds tests/corpus \
  -max_total_time="$seconds" -timeout=1 -malloc_limit_mb=64 -max_len=65536 \
  -print_final_stats=1 -artifact_prefix=build-fuzz/ 2>&1 | tail -n 25
