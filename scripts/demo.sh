#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated CNC on 127.0.0.1:19000 with the sample
# part programs, and then, with a display ($DISPLAY or $WAYLAND_DISPLAY), the desktop program
# connected to it; without one it shows qel working against it. The simulator keeps running
# until Ctrl-C or the desktop program's end (or ends at once with --once).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
gui=""
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${1:-}" != "--once" ]; then gui=QelVeva; fi
cmake --build build -j "${JOBS:-2}" --target cncsim qel $gui

port=${CNCSIM_PORT:-19000}
log=$(mktemp)
out=$(mktemp)
./build/sim/cncsim --tcp-listen "127.0.0.1:$port" --load sim/samples > "$out" 2> "$log" &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; rm -f "$log" "$out"' EXIT
for _ in $(seq 50); do grep -q "listening" "$out" && break; sleep 0.1; done
if ! grep -q "listening" "$out"; then
  echo "cncsim did not start:"; cat "$log"; exit 1
fi

if [ -n "$gui" ]; then
  echo "QelVeva connected to cncsim on 127.0.0.1:$port (telegram trace: $log)"
  ./build/app/desktop/QelVeva -i 127.0.0.1 "$port" -c "cncsim"
  exit 0
fi

qel() { echo "\$ qel $*"; ./build/app/cli/qel "$@"; echo; }
qel -i "127.0.0.1:$port" list PM
qel -i "127.0.0.1:$port" free
qel -i "127.0.0.1:$port" message "QEL active on this CNC."
work=$(mktemp -d)
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; rm -rf "$log" "$out" "$work"' EXIT
qelbin=$PWD/build/app/cli/qel
( cd "$work" && echo "\$ qel -i 127.0.0.1:$port receive --yes-all JOBSET.PM" \
    && "$qelbin" -i "127.0.0.1:$port" receive --yes-all JOBSET.PM && ls -l "$work" )

if [ "${1:-}" = "--once" ]; then exit 0; fi
echo "cncsim is running on 127.0.0.1:$port (telegram trace: $log); Ctrl-C ends it."
wait "$sim"
