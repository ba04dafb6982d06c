#!/usr/bin/env bash
# Measures how well the tests catch real faults. Each line of the list (scripts/mutations.txt
# unless another file is given) is one realistic one-line fault:
#     area @@ file @@ text as it stands @@ text with the fault @@ what a user would notice
# (\n stands for a line break within a text)
# Each fault is applied alone to a scratch copy of the tree, which is built and tested;
# a fault the suite lets pass is printed as SURVIVED. The share caught is printed per area.
#   bash scripts/mutate.sh [LIST] [--only PATTERN]
set -uo pipefail
root="${VOSTREL_MUTATE_ROOT:-$(cd "$(dirname "$0")/.." && pwd)}"
# Bash reads a script as it runs: run from a copy, so that editing this file meanwhile is safe.
if [ -z "${VOSTREL_MUTATE_ROOT:-}" ]; then
  copy="$(mktemp)"
  cp "$0" "$copy"
  VOSTREL_MUTATE_ROOT="$root" exec bash "$copy" "$@"
fi
list="${1:-$root/scripts/mutations.txt}"
only="${3:-}"
[ "${2:-}" = "--only" ] || only=""
scratch="${VOSTREL_MUTATION_DIR:-/tmp/vostrel-mutants}"

mkdir -p "$scratch/tree"
# The list is read from a copy, so that editing it meanwhile changes nothing of this run.
cp "$list" "$scratch/mutations.txt"
list="$scratch/mutations.txt"
(cd "$root" && git ls-files -z | xargs -0 -I{} cp --parents {} "$scratch/tree/")
cmake -S "$scratch/tree" -B "$scratch/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOSTREL_BENCH=OFF \
  -DVOSTREL_WERROR=OFF >/dev/null
cmake --build "$scratch/build" -j "$(nproc)" >/dev/null || { echo "the unmutated tree does not build"; exit 2; }
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$scratch/build" -j "$(nproc)" --timeout 120 >/dev/null || { echo "the unmutated tree fails its tests"; exit 2; }

declare -A caught total
# The list is read on its own descriptor: the build and test commands must not eat it.
while IFS= read -r line <&3; do
  [[ -z "$line" || "$line" == \#* ]] && continue
  [[ -n "$only" && "$line" != *"$only"* ]] && continue
  IFS=$'\x01' read -r area file original mutated note <<< "${line//' @@ '/$'\x01'}"
  target="$scratch/tree/$file"
  cp "$target" "$target.orig"
  if ! python3 - "$target" "$original" "$mutated" <<'PY'
import sys
path, original, mutated = (a.replace("\\n", "\n") for a in sys.argv[1:])
mutated = "" if mutated == "(nothing)" else mutated
text = open(path, encoding="utf-8").read()
if text.count(original) != 1:
    sys.exit(1)
open(path, "w", encoding="utf-8").write(text.replace(original, mutated))
PY
  then
    echo "NOT FOUND  $area: $note ($file)"
    rm -f "$target.orig"
    continue
  fi
  if ! cmake --build "$scratch/build" -j "$(nproc)" >/dev/null 2>&1; then
    echo "NO BUILD   $area: $note"
  else
    total[$area]=$(( ${total[$area]:-0} + 1 ))
    if ctest --test-dir "$scratch/build" -j "$(nproc)" --timeout 120 >/dev/null 2>&1; then
      echo "SURVIVED   $area: $note"
    else
      caught[$area]=$(( ${caught[$area]:-0} + 1 ))
      echo "caught     $area: $note"
    fi
  fi
  mv "$target.orig" "$target"
  touch "$target"
done 3< "$list" < /dev/null
cmake --build "$scratch/build" -j "$(nproc)" >/dev/null 2>&1

echo
for area in "${!total[@]}"; do
  c=${caught[$area]:-0}
  t=${total[$area]}
  echo "$area: $c of $t faults caught ($(( 100 * c / t ))%)"
done
