#!/usr/bin/env bash
# Runs every fuzz target of the native build for a while and reports how many
# inputs each one executed.
#   scripts/fuzz-long.sh [SECONDS_PER_TARGET]        (default 600)
# Targets are the executables named fuzz_* in the native build tree
# (ORVA_BUILD_ROOT/native, default build/native), built by scripts/build.sh
# native. Each starts from its committed seed corpus, a folder named after the
# target under some */fuzz/corpus/ of the sources, and keeps what it learns in
# <build>/fuzz-long/<target>. Findings (crash-*, leak-*, timeout-*) are written
# there too. The exit status is non-zero when any target fails.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-600}
build=${ORVA_BUILD_ROOT:-$root/build}/native
[[ -d $build ]] || { echo "fuzz-long.sh: no native build at $build (run scripts/build.sh native)" >&2; exit 2; }

mapfile -t targets < <(find "$build" -type f -name 'fuzz_*' -perm -u+x | sort)
[[ ${#targets[@]} -gt 0 ]] || { echo "fuzz-long.sh: no fuzz_* executables in $build" >&2; exit 2; }

status=0
for target in "${targets[@]}"; do
  name=$(basename "$target")
  work=$build/fuzz-long/$name
  mkdir -p "$work/corpus" "$work/findings"
  seeds=()
  while IFS= read -r dir; do seeds+=("$dir"); done < <(
    find "$root" -path "$root/build*" -prune -o -type d -path "*/fuzz/corpus/$name" -print)
  echo "== $name: ${seconds}s, seeds: ${seeds[*]:-none}"
  log=$work/last-run.log
  if (cd "$work/findings" && "$target" -max_total_time="$seconds" -max_len=4096 \
        -print_final_stats=1 -artifact_prefix="$work/findings/" \
        "$work/corpus" "${seeds[@]}") >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  echo "$name: ${runs:-?} executions, $result (log: $log)"
done
exit $status
