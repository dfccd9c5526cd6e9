#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each of them for an equal share
# of FUZZ_SECONDS (default 60 in all, so CI's short run stays about a minute whatever the number
# of targets). Targets named as arguments run alone, each with the whole FUZZ_SECONDS. Each
# target starts from its seed corpus (tests/fuzz/corpus/<target>) and what earlier runs found
# (build-fuzz/corpus/<target>), with tests/fuzz/<target>.dict as dictionary when there is one.
# FUZZ_RUNS=N makes each target run N executions instead (a long run; FUZZ_SECONDS, when also
# set, then bounds each target's time).
# Fails when a target finds a crash, a hang or a sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."

total=${FUZZ_SECONDS:-60}
jobs=${JOBS:-2}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQELVEVA_FUZZ=ON -DQELVEVA_BUILD_BENCH=OFF -DQELVEVA_BUILD_GUI=OFF >/dev/null

if [ $# -gt 0 ]; then
  targets=("$@")
else
  mapfile -t targets < <(ninja -C build-fuzz -t targets all |
                         sed -n 's/^\(fuzz_[A-Za-z0-9_]*\): phony$/\1/p' | sort -u)
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no fuzz targets"
  exit 0
fi
cmake --build build-fuzz -j "$jobs" --target "${targets[@]}"

# Equal shares; the seconds left over by the division go to the first targets.
per=$(( total / ${#targets[@]} ))
extra=$(( total % ${#targets[@]} ))
status=0
for name in "${targets[@]}"; do
  exe=build-fuzz/tests/fuzz/$name
  seconds=$per
  if [ "$extra" -gt 0 ]; then seconds=$(( seconds + 1 )); extra=$(( extra - 1 )); fi
  [ "$seconds" -lt 1 ] && seconds=1
  corpus=build-fuzz/corpus/$name
  mkdir -p "$corpus"
  if [ -d "tests/fuzz/corpus/$name" ]; then cp -n "tests/fuzz/corpus/$name"/* "$corpus"/ 2>/dev/null || true; fi
  if [ -n "${FUZZ_RUNS:-}" ]; then
    seconds=${FUZZ_SECONDS:-0}
    options=(-runs="$FUZZ_RUNS" -max_total_time="$seconds")
  else
    options=(-max_total_time="$seconds")
  fi
  options+=(-timeout=10 -artifact_prefix="build-fuzz/$name-" -print_final_stats=1)
  if [ -f "tests/fuzz/$name.dict" ]; then options+=(-dict="tests/fuzz/$name.dict"); fi
  echo "fuzz: $name for ${FUZZ_RUNS:+$FUZZ_RUNS runs, }${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
       "$exe" "${options[@]}" "$corpus" >"build-fuzz/$name.log" 2>&1; then
    echo "fuzz: $name FAILED, see build-fuzz/$name.log"
    tail -n 40 "build-fuzz/$name.log"
    status=1
  else
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "build-fuzz/$name.log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "build-fuzz/$name.log")
    echo "fuzz: $name ${execs:-?} runs, ${rate:-?}/s; $(grep -o 'cov: [0-9]* ft: [0-9]*' "build-fuzz/$name.log" | tail -n 1)"
  fi
done
exit "$status"
