#!/usr/bin/env bash
# Sets up the machine, builds everything and runs the whole test suite.
#   bash scripts/test.sh                        the suite (release build)
#   VOSTREL_SANITIZERS=1 bash scripts/test.sh   first the suite under AddressSanitizer and
#                                               UBSan and a short fuzz run, then the suite
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

if [ "${VOSTREL_SANITIZERS:-0}" = "1" ]; then
  bash scripts/sanitize.sh
fi

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j "$jobs"
