#!/usr/bin/env bash
# Builds the kernel fuzzers (preset fuzz: clang, libFuzzer, ASan and UBSan) and runs each
# for the given seconds (default 60) on a fresh copy of the committed seeds, printing one
# line per target: executions, coverage (libFuzzer's cov: edges and ft: features at the
# end) and exit status. Exits non-zero when any target finds a failure, after showing its
# output and the reproducer.
#
#   bash scripts/fuzz.sh          # about a minute per target
#   bash scripts/fuzz.sh 3600     # an hour per target
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
case "$seconds" in
  '' | *[!0-9]*) echo "usage: $0 [seconds-per-target]" >&2; exit 2 ;;
esac

bash scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

build=build/fuzz
symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
[ -x "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH="$symbolizer"

# The line libFuzzer prints last with the coverage figures, and one final statistic.
last_status_line() { grep -E '^#[0-9]+.* cov: ' "$1" | tail -n 1 || true; }
figure() { local n; n=$(sed -n "s/.* $2: \([0-9]\+\).*/\1/p" <<<"$1"); echo "${n:--}"; }
final_stat() { local n; n=$(sed -n "s/^stat::$2: *\([0-9]\+\)/\1/p" "$1" | tail -n 1); echo "${n:--}"; }

failed=0
summary=()
for target in "$build"/tests/fuzz/*_fuzz; do
  name=$(basename "$target")
  work="$build/runs/$name"
  rm -rf "$work"
  mkdir -p "$work/corpus"
  cp tests/fuzz/seeds/* "$work/corpus/"

  echo "fuzz: $name for ${seconds}s" >&2
  status=0
  "$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/" "$work/corpus" >"$work/log" 2>&1 || status=$?

  line=$(last_status_line "$work/log")
  executions=$(final_stat "$work/log" number_of_executed_units)
  per_second=$(final_stat "$work/log" average_exec_per_sec)
  summary+=("$(printf '%-20s executions %s (%s/s)  cov %s  ft %s  corpus %s  exit %s' \
    "$name" "$executions" "$per_second" "$(figure "$line" cov)" "$(figure "$line" ft)" \
    "$(figure "$line" corp)" "$status")")

  if [ "$status" -ne 0 ]; then
    failed=1
    echo "fuzz: $name failed (exit $status); its output:" >&2
    grep -v -E '^#[0-9]+\s' "$work/log" | tail -n 80 >&2
    for reproducer in "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-*; do
      [ -e "$reproducer" ] || continue
      echo "fuzz: reproducer $reproducer; rerun it with: $target $reproducer" >&2
    done
  fi
done

printf '%s\n' "${summary[@]}"
exit "$failed"
