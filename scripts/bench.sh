#!/usr/bin/env bash
# Runs the benchmarks and prints the ratios against the peers.
#
#   scripts/bench.sh [extra Google Benchmark flags...]
#
# 1. Builds the optimised native tree (scripts/build.sh bench) and runs
#    orva_bench: the codec against msgpack-cxx, nlohmann-json's CBOR and
#    memcpy, and one method call through the native channel path. Figures go
#    to <build>/bench/results/native.json (Google Benchmark's JSON).
# 2. Builds bench_command_runner in the Windows tree and runs it under Wine:
#    ExecuteCommand against a bare process run of the same command, and the
#    processes one status query starts. Figures go to
#    <build>/bench/results/command_runner.json.
# 3. Prints the summary table (bench/summarize.py).
#
# ORVA_BUILD_ROOT chooses the build root (default <repo>/build); ORVA_JOBS the
# build parallelism. Benchmarks print figures only: nothing here passes or
# fails on speed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build_root=${ORVA_BUILD_ROOT:-$root/build}
results=$build_root/bench/results

bash scripts/setup.sh
bash scripts/build.sh bench
mkdir -p "$results"

echo "== native benchmarks"
"$build_root/bench/bench/orva_bench" --benchmark_out="$results/native.json" \
  --benchmark_out_format=json --benchmark_repetitions=3 --benchmark_report_aggregates_only=true "$@"

echo "== command runner under Wine"
runner_json=
if [[ ! -f $build_root/windows/CMakeCache.txt ]]; then
  # Configure the Windows tree without building all of it.
  cmake -S "$root" -B "$build_root/windows" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    >/dev/null
fi
cmake --build "$build_root/windows" --target bench_command_runner -- -j"${ORVA_JOBS:-$(nproc)}"
source scripts/wine-env.sh
prefix=$build_root/windows/wineprefix
orva_wine_session_start "$prefix"
trap 'orva_wine_session_stop "$prefix"' EXIT
if wine "$build_root/windows/bin/bench_command_runner.exe" \
     --json "$(winepath -w "$results/command_runner.json" 2>/dev/null)" </dev/null; then
  runner_json=$results/command_runner.json
else
  echo "bench.sh: the command-runner benchmark failed; its figures are left out" >&2
fi

echo
echo "== summary"
python3 bench/summarize.py "$results/native.json" ${runner_json:+"$runner_json"}
