#!/usr/bin/env bash
# Checks the formatting, builds the project and runs every test: once as released, once with
# AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzz targets for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/check-format.sh

jobs=${JOBS:-2}
# Configured for /usr, as the packages install it.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 120

# The Debian packages: built, checked, installed, used as installed, and purged again.
bash scripts/packages.sh build

# Optimised, as released, so that the compiler's warnings of an optimised build count too; GUI
# tests included. Qt's and fontconfig's allocations that live as long as the process are no leaks
# of ours (tests/gui/lsan.supp).
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQELVEVA_SANITIZE=ON \
      -DQELVEVA_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions=$PWD/tests/gui/lsan.supp \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 300

if [ -f scripts/fuzz.sh ]; then bash scripts/fuzz.sh; fi
