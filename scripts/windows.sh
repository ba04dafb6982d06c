#!/usr/bin/env bash
# Builds vostrel-batch.exe for 64-bit Windows with the MinGW-w64 cross compiler and,
# with --compare, runs it under Wine on synthetic surveys: every export format must be
# byte-identical to the Linux build's.
#   bash scripts/windows.sh [--compare]
set -euo pipefail
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive
need=(g++-mingw-w64-x86-64-posix libxxhash-dev)
[ "${1:-}" = "--compare" ] && need+=(wine wine64)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  apt-get update >/dev/null
  apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DVOSTREL_GUI=OFF -DVOSTREL_TESTS=OFF -DVOSTREL_BENCH=OFF >/dev/null
log="$(mktemp)"
cmake --build build-windows -j "$(nproc)" --target vostrel-batch >"$log" 2>&1 || { cat "$log"; exit 1; }
exe="$(pwd)/build-windows/tools/vostrel-batch.exe"
echo "windows: $exe"
[ "${1:-}" = "--compare" ] || exit 0

# The Linux build to compare with: the usual one, or in a fresh clone one of the batch
# tool alone, which needs neither Qt nor the test libraries.
linux_build=build
if [ ! -f build/CMakeCache.txt ]; then
  linux_build=build-linux
  cmake -S . -B build-linux -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOSTREL_GUI=OFF -DVOSTREL_TESTS=OFF \
    -DVOSTREL_BENCH=OFF >/dev/null
fi
cmake --build "$linux_build" -j "$(nproc)" --target vostrel-batch >"$log" 2>&1 || { cat "$log"; exit 1; }
linux="$(pwd)/$linux_build/tools/vostrel-batch"
work="$(mktemp -d)"
# Wine's server may still hold the prefix a moment after the last program ends.
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work" 2>/dev/null || true' EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX="$work/prefix"
cd "$work"
# A new Wine prefix is made on the first run, which may report a failure of its own.
wine wineboot --init >/dev/null 2>&1 || true
failed=0
# The last survey is polarised, with hum and spikes: its exchange formats carry M.
for survey in "dd:--layout dipole-dipole --rho 150 --blocks 30 --channels 8" \
  "pd:--layout pole-dipole --rho 40 --blocks 20 --channels 6" "old:--blocks 25 --channels 12 --seed 7" \
  "ip:--layout dipole-dipole --rho 80 --blocks 10 --channels 6 --half-period 500 --second-length 500 \
--chargeability 40 --tau 80 --drift 0.4 --hum 2 --hum-hz 50.3 --spikes 1"; do
  name="${survey%%:*}"
  "$linux" synth ${survey#*:} "$name.qmr" >/dev/null
  for format in txt csv ohm res2dinv; do
    ip=""
    [ "$name" = ip ] && [ "$format" != txt ] && ip="--ip"
    mkdir -p linux windows
    cp "$name.qmr" linux/ && cp "$name.qmr" windows/
    (cd linux && "$linux" export --format "$format" $ip "$name.qmr" >/dev/null)
    (cd windows && wine "$exe" export --format "$format" $ip "$name.qmr" >/dev/null 2>&1) || true
    for table in linux/"$name".*; do
      [ "$table" = "linux/$name.qmr" ] && continue
      if ! cmp -s "$table" "windows/${table#linux/}"; then
        echo "windows: ${table#linux/} is missing or differs from the Linux build's"
        failed=1
      fi
    done
    wineserver -w >/dev/null 2>&1 || true
    rm -rf linux windows
  done
done
# A line of two of those surveys: the project (whose stamps hash every byte of the
# surveys) and its export must be the same whichever build wrote them.
mkdir -p linux windows
for side in linux windows; do cp dd.qmr pd.qmr "$side/"; done
(cd linux && "$linux" line new L.vln dd.qmr pd.qmr@200 >/dev/null && "$linux" line export L.vln --format ohm >/dev/null)
(cd windows && wine "$exe" line new L.vln dd.qmr pd.qmr@200 >/dev/null 2>&1 &&
  wine "$exe" line export L.vln --format ohm >/dev/null 2>&1) || true
for file in L.vln L.ohm; do
  if ! cmp -s "linux/$file" "windows/$file"; then
    echo "windows: the line's $file is missing or differs from the Linux build's"
    failed=1
  fi
done
# Each build reads the project the other wrote.
(cd linux && "$linux" line info ../windows/L.vln >/dev/null) || { echo "windows: Linux refuses the line Windows wrote"; failed=1; }
(cd windows && wine "$exe" line info ../linux/L.vln >/dev/null 2>&1) || { echo "windows: Windows refuses the line Linux wrote"; failed=1; }
wineserver -w >/dev/null 2>&1 || true
rm -rf linux windows
[ "$failed" = 0 ] && echo "windows: every table and the line byte-identical to the Linux build's"
exit "$failed"
