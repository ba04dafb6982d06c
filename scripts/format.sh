#!/usr/bin/env bash
# Applies the checked-in .clang-format to every C++ file the project tracks.
#   bash scripts/format.sh           rewrites the files
#   bash scripts/format.sh --check   changes nothing; fails and lists the files that drift
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
  drift=()
  for f in "${files[@]}"; do
    clang-format --style=file "$f" | cmp -s - "$f" || drift+=("$f")
  done
  if [ "${#drift[@]}" -gt 0 ]; then
    echo "Not formatted with .clang-format (run bash scripts/format.sh):"
    printf '  %s\n' "${drift[@]}"
    exit 1
  fi
  echo "format: ${#files[@]} files formatted"
else
  clang-format --style=file -i "${files[@]}"
fi
