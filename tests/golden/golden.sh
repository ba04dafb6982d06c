#!/usr/bin/env bash
# The batch tool's every command and export on a few small synthetic surveys, compared
# byte for byte with the outputs kept in expected/ (one file per survey).
#   bash tests/golden/golden.sh VOSTREL-BATCH            compare (the suite runs this)
#   bash tests/golden/golden.sh VOSTREL-BATCH --update   write expected/ anew, after a
#                                                        change of output that is meant
# The surveys are made afresh by the batch tool's synth from the lines in surveys.txt,
# so a change of the generator shows here too.
set -euo pipefail
batch=$(realpath "$1")
update=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Runs the tool; its output and exit status go into the survey's output, the time an
# export took becomes T.
run() {
  echo "== $*"
  local status=0
  "$batch" "$@" >out 2>err || status=$?
  sed -E 's/, [0-9]+\.[0-9]+ s$/, T s/' out
  [ -s err ] && { echo "-- stderr"; cat err; }
  echo "-- exit $status"
}

# Exports write beside the survey; the file written is shown whole.
export_file() {
  local extension=$1
  shift
  run export "$@"
  local name="${@: -1}"
  name="${name%.qmr}$extension"
  if [ -f "$name" ]; then
    echo "-- $name"
    cat "$name"
    rm "$name"
  fi
}

survey_outputs() {
  local s=$1 kind=$2
  run info "$s"
  run record "$s" 1
  run record "$s" 7
  run record --flip-sign --abs-du "$s" 2
  run record "$s" 9999
  run check "$s"
  run check --flip-sign --abs-du "$s"
  run reciprocal "$s"
  run ip "$s" 1 3
  export_file .TXT "$s"
  export_file .TXT --flip-sign --abs-du "$s"
  export_file .csv --format csv "$s"
  export_file .csv --format csv --max-error 0.2 "$s"
  export_file .ohm --format ohm "$s"
  export_file .dat --format res2dinv "$s"
  if [ "$kind" = reciprocal ]; then
    export_file .ohm --format ohm --error-model "$s"
  fi
  if [ "$kind" = polarised ]; then
    run ip --mains 50 "$s" 2 5
    run ip --gates 40:80,80:160,160:320 "$s" 4
    export_file .csv --format csv --ip --mains 50 "$s"
    export_file .ohm --format ohm --ip "$s"
    export_file .dat --format res2dinv --ip --gates 40:80,80:160,160:320 "$s"
  fi
}

status=0
names=()
while read -r name kind rest; do
  case "$name" in '' | '#'*) continue ;; esac
  names+=("$name.qmr")
  out="$work/$name.out"
  {
    # shellcheck disable=SC2086
    run synth $rest "$name.qmr"
    survey_outputs "$name.qmr" "$kind"
  } >"$out"
  if [ "$update" = --update ]; then
    cp "$out" "$here/expected/$name.out"
  elif ! diff -u "$here/expected/$name.out" "$out"; then
    status=1
  fi
done <"$here/surveys.txt"

# Several files at once: the outputs in the order the files were given.
out="$work/several.out"
{
  run check -j 2 "${names[@]}"
  run export -j 2 --format csv "${names[@]}"
} >"$out"
if [ "$update" = --update ]; then
  cp "$out" "$here/expected/several.out"
elif ! diff -u "$here/expected/several.out" "$out"; then
  status=1
fi
[ "$status" = 0 ] || echo "golden outputs differ; after a change that is meant: bash $0 $1 --update" >&2
exit $status
