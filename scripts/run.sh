#!/usr/bin/env bash
# Sets up the machine, builds the program, writes the demo survey 2pd.qmr into the
# current folder and opens the window there.
set -euo pipefail
here=$(pwd)
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$root/build" -j "$(nproc)" --target vostrel vostrel-batch

batch="$root/build/tools/vostrel-batch"
cd "$here"
"$batch" synth --blocks 40 --channels 12 --periods 4 --seed 2012 2pd.qmr

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display here, so the window cannot open. This is what the batch tool makes of the demo survey:"
  "$batch" info 2pd.qmr
  "$batch" record 2pd.qmr 1
  "$batch" check 2pd.qmr | tail -n 5
  "$batch" export 2pd.qmr
  exit 0
fi
exec "$root/build/src/vostrel"
