#!/usr/bin/env bash
# Builds the Debian packages from a build folder configured with CMAKE_INSTALL_PREFIX=/usr,
# checks them (lintian without errors, the desktop file, the AppStream metainfo), installs them
# with apt, uses what they installed (the programs, a transfer between the installed qel and
# cncsim, a C program built with pkg-config and one with find_package), and purges them again.
# Runs as root, or with sudo. Usage: scripts/packages.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
packages="libcablor1 libcablor-dev qelveva"

rm -rf "$build/packages"
(cd "$build" && cpack >/dev/null)
debs=("$build"/packages/*.deb)
echo "packages: ${debs[*]##*/}"

desktop-file-validate resources/qelveva.desktop
appstreamcli validate --no-net --pedantic "$build/app/desktop/org.qelveva.qelveva.metainfo.xml"
# Errors fail; warnings are printed. Root is fine here: the packages are only read.
status=0
findings=$(lintian --fail-on error "${debs[@]}" 2>&1) || status=$?
grep -v '^running with root privileges' <<<"$findings" || true
[ "$status" -eq 0 ]

work=$(mktemp -d)
cleanup() {
  [ -n "${cnc:-}" ] && kill "$cnc" 2>/dev/null || true
  DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq $packages >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${debs[@]}" >/dev/null

# The installed programs, from the system's own folders.
export QELVEVA_CFG="$work/QelVeva.cfg"
/usr/bin/qel help >/dev/null
/usr/bin/cncsim --help >/dev/null
QT_QPA_PLATFORM=offscreen /usr/bin/QelVeva --version
man -w qel cncsim QelVeva >/dev/null
[ -f /usr/lib/udev/rules.d/60-qelveva-serial.rules ]

# One transfer between the installed qel and the installed cncsim with the installed samples.
/usr/bin/cncsim --load /usr/share/qelveva/samples --tcp-listen 127.0.0.1:0 --quiet \
  >"$work/cncsim.out" 2>&1 &
cnc=$!
for _ in $(seq 50); do grep -q '^listening on ' "$work/cncsim.out" && break; sleep 0.1; done
address=$(sed -n 's/^listening on //p' "$work/cncsim.out")
mkdir "$work/received"
(cd "$work/received" && /usr/bin/qel -i "$address" receive --yes-all TOOLS.TO)
cmp "$work/received/TOOLS.TO" /usr/share/qelveva/samples/TOOLS.TO
echo "installed qel received TOOLS.TO from the installed cncsim"

# A program of a library user: pkg-config, then CMake's find_package.
cc -o "$work/uses-cablor" tests/packaging/uses-cablor/uses-cablor.c $(pkg-config --cflags --libs cablor)
"$work/uses-cablor"
cmake -S tests/packaging/uses-cablor -B "$work/cmake-user" -G Ninja >/dev/null
cmake --build "$work/cmake-user" >/dev/null
"$work/cmake-user/uses-cablor"

trap - EXIT
cleanup
for p in $packages; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    echo "$p is still installed" >&2
    exit 1
  fi
done
[ ! -e /usr/bin/qel ] && [ ! -e /usr/lib/udev/rules.d/60-qelveva-serial.rules ]
echo "packages installed, used and purged"
