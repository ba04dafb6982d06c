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
# A dipole-dipole line over a ground whose resistivity varies, polarised, with mains hum
# and a few spikes: what a field day brings.
"$batch" synth --layout dipole-dipole --blocks 40 --channels 8 --periods 4 --chargeability 30 --tau 150 \
  --hum 1 --hum-hz 50 --spikes 0.2 --spike 15 --seed 2012 2pd.qmr

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display here, so the window cannot open. This is what the batch tool makes of the demo survey:"
  "$batch" info 2pd.qmr
  # A dipole-dipole survey's dU is negative by nature: "Модуль dU" (--abs-du) shows its
  # size and the stacking error of its windows instead of the fixed 50 % of a reversed one.
  "$batch" record --abs-du 2pd.qmr 1
  "$batch" ip 2pd.qmr 1
  "$batch" check --abs-du 2pd.qmr | tail -n 5
  "$batch" export --abs-du 2pd.qmr
  exit 0
fi
exec "$root/build/src/vostrel"
