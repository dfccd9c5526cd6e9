#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each of them for a share of
# FUZZ_SECONDS (default 60 in all). Fails when a target finds a crash or a sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."

total=${FUZZ_SECONDS:-60}
jobs=${JOBS:-2}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQELVEVA_FUZZ=ON -DQELVEVA_BUILD_BENCH=OFF -DQELVEVA_BUILD_GUI=OFF >/dev/null

mapfile -t targets < <(ninja -C build-fuzz -t targets all | sed -n 's/^\(fuzz_[A-Za-z0-9_]*\): phony$/\1/p' | sort -u)
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no fuzz targets"
  exit 0
fi
cmake --build build-fuzz -j "$jobs" --target "${targets[@]}"

per=$(( total / ${#targets[@]} ))
[ "$per" -lt 1 ] && per=1
status=0
for exe in build-fuzz/tests/fuzz/fuzz_*; do
  [ -x "$exe" ] && [ -f "$exe" ] || continue
  name=$(basename "$exe")
  corpus=build-fuzz/corpus/$name
  mkdir -p "$corpus"
  if [ -d "tests/fuzz/corpus/$name" ]; then cp -n "tests/fuzz/corpus/$name"/* "$corpus"/ 2>/dev/null || true; fi
  echo "fuzz: $name for ${per}s"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
       "$exe" -max_total_time="$per" -timeout=10 -artifact_prefix="build-fuzz/$name-" \
       -print_final_stats=1 "$corpus" >"build-fuzz/$name.log" 2>&1; then
    echo "fuzz: $name FAILED, see build-fuzz/$name.log"
    tail -n 40 "build-fuzz/$name.log"
    status=1
  else
    grep -E "stat::number_of_executed_units|cov:" "build-fuzz/$name.log" | tail -n 2 || true
  fi
done
exit "$status"
