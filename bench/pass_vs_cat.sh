#!/usr/bin/env bash
# The batch tool's check and exports of one survey against `cat` of it, in one run, with
# a warm page cache; the median of ROUNDS runs each, and the ratio to cat's median.
# With --strace, the reads (read, pread64 and the queued rounds of io_uring_enter), seeks
# and futex calls per record of each (strace -c -f).
#   bash bench/pass_vs_cat.sh SURVEY.qmr [ROUNDS] [--strace] VOSTREL-BATCH...
# Several batch tools (say, builds before and after a change) are measured side by side.
set -euo pipefail
survey=$(realpath "$1")
rounds=${2:-7}
shift 2
trace=0
if [ "${1:-}" = --strace ]; then
  trace=1
  shift
fi
tools=("$@")
records=$("${tools[0]}" info "$survey" | sed -n 's/^records: //p')

seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

cat "$survey" >/dev/null
declare -A times
commands=("check" "export" "export --format csv" "export --format ohm" "export --format res2dinv"
  "export --format csv --ip")
for ((r = 0; r < rounds; r++)); do
  times[cat]+="$(seconds cat "$survey") "
  for t in "${!tools[@]}"; do
    for c in "${!commands[@]}"; do
      # shellcheck disable=SC2086
      times[$t.$c]+="$(seconds "${tools[$t]}" ${commands[$c]} "$survey") "
    done
  done
done
cat_s=$(tr ' ' '\n' <<<"${times[cat]}" | grep . | median)
printf '%-28s %9.3f s\n' "cat" "$cat_s"
for t in "${!tools[@]}"; do
  echo "${tools[$t]}"
  for c in "${!commands[@]}"; do
    s=$(tr ' ' '\n' <<<"${times[$t.$c]}" | grep . | median)
    printf '  %-26s %9.3f s  %6.2f x cat\n' "${commands[$c]}" "$s" "$(echo "$s / $cat_s" | bc -l)"
  done
done

if [ "$trace" = 1 ]; then
  echo "system calls per record ($records records)"
  for t in "${!tools[@]}"; do
    for c in "check" "export" "export --format csv --ip"; do
      # shellcheck disable=SC2086
      strace -c -f -o /tmp/pass_vs_cat.strace "${tools[$t]}" $c "$survey" >/dev/null 2>&1
      awk -v n="$records" -v name="${tools[$t]} $c" '
        $NF == "read" || $NF == "pread64" { calls["read"] += $4 }
        $NF == "io_uring_enter" || $NF == "lseek" || $NF == "futex" { calls[$NF] += $4 }
        END { printf "  %s: read %.3f  io_uring_enter %.3f  lseek %.4f  futex %.2f\n", name, calls["read"] / n,
                     calls["io_uring_enter"] / n, calls["lseek"] / n, calls["futex"] / n }' \
        /tmp/pass_vs_cat.strace
    done
  done
fi
