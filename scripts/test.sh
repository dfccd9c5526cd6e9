#!/usr/bin/env bash
# Checks the formatting, builds the project and runs every test: once as released, once with
# AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzz targets for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/check-format.sh

jobs=${JOBS:-2}
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 120

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQELVEVA_SANITIZE=ON \
      -DQELVEVA_BUILD_GUI=OFF -DQELVEVA_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 300

if [ -f scripts/fuzz.sh ]; then bash scripts/fuzz.sh; fi
