#!/usr/bin/env bash
# Installs every Debian package that building, testing, benchmarking and fuzzing need.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
  build-essential cmake ninja-build pkg-config libeigen3-dev
  qt6-base-dev qt6-svg-dev libqcustomplot-dev libgl-dev libxcb1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libxxhash-dev liburing-dev
  clang libclang-rt-14-dev clang-format
  desktop-file-utils libxml2-utils shared-mime-info dpkg-dev qt6-l10n-tools qt6-translations-l10n
  libcli11-dev nlohmann-json3-dev help2man
  fonts-dejavu-core
  xvfb openbox
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
