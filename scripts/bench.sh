#!/usr/bin/env bash
# Runs the benchmarks and prints the ratios against the peers.
#
#   scripts/bench.sh [extra Google Benchmark flags...]
#
# 1. Builds orva_bench in the optimised native tree (the "bench" kind of
#    scripts/build.sh) and runs
#    orva_bench: the codec against msgpack-cxx, nlohmann-json's CBOR and
#    memcpy, decoding against a deep copy of the decoded value (rounds that
#    alternate the two), and one method call through the native channel
#    path. Figures go
#    to <build>/bench/results/native.json (Google Benchmark's JSON).
# 2. Builds bench_command_runner in the Windows tree and runs it under Wine:
#    ExecuteCommand against a bare process run of the same command, and the
#    processes one status query starts. Figures go to
#    <build>/bench/results/command_runner.json.
# 3. Runs the real orva_vpn.exe from the bundle under Wine with the session
#    bench/status_poll.session: status polls timed by the stand-in engine
#    (send to reply, as the UI sees it) in rounds alternating with a bare
#    start-and-wait of wg.exe from the same process, then polls while the control tool
#    takes 3 s a run, with window_probe.exe sending the window WM_NULL every
#    50 ms. Figures stay in <build>/bench/session (transcript, probe.txt).
#    Then, with the setup-program installer, bench/connect_after_install.session:
#    "connect" sent the moment "installWireguard" answers, while status and
#    counters are polled every 250 ms, after short installations and after
#    ones of 20 s, alternating. Figures stay in <build>/bench/connect.
# 4. Prints the summary table (bench/summarize.py).
#
# ORVA_BUILD_ROOT chooses the build root (default <repo>/build); ORVA_JOBS the
# build parallelism; ORVA_BENCH_RUNS the timed runs per command under Wine
# (default 15). Benchmarks print figures only: nothing here passes or
# fails on speed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build_root=${ORVA_BUILD_ROOT:-$root/build}
results=$build_root/bench/results

jobs=${ORVA_JOBS:-$(nproc)}

# Configures a tree as scripts/build.sh would, but builds only |target|, so a
# benchmark run does not wait for (or stop at) the rest of the project.
build_target() {
  local kind=$1 target=$2
  shift 2
  if [[ ! -f $build_root/$kind/CMakeCache.txt ]]; then
    cmake -S "$root" -B "$build_root/$kind" -G Ninja "$@" >/dev/null
  fi
  cmake --build "$build_root/$kind" --target "$target" -- -j"$jobs"
}

bash scripts/setup.sh
build_target bench orva_bench -DCMAKE_BUILD_TYPE=Release -DORVA_BENCH=ON
mkdir -p "$results"

echo "== native benchmarks"
"$build_root/bench/bench/orva_bench" --benchmark_out="$results/native.json" \
  --benchmark_out_format=json --benchmark_repetitions=3 --benchmark_report_aggregates_only=true "$@"

echo "== command runner under Wine"
runner_json=
if build_target windows bench_command_runner \
     -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release; then
  source scripts/wine-env.sh
  prefix=$build_root/windows/wineprefix
  # Fails harmlessly when a server for the prefix is already up.
  orva_wine_session_start "$prefix" || true
  trap 'orva_wine_session_stop "$prefix"' EXIT
  if wine "$build_root/windows/bin/bench_command_runner.exe" --runs "${ORVA_BENCH_RUNS:-15}" \
       --json "$(winepath -w "$results/command_runner.json")" </dev/null; then
    runner_json=$results/command_runner.json
  else
    echo "bench.sh: the command-runner benchmark failed; its figures are left out" >&2
  fi
else
  echo "bench.sh: bench_command_runner did not build; its figures are left out" >&2
fi

echo "== status polls through the real executable under Wine"
session_out=$build_root/bench/session
session_dir=
connect_dir=
if build_target windows all \
     -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release; then
  source scripts/wine-env.sh
  orva_display_start
  trap 'orva_wine_session_stop "$prefix"; orva_display_stop' EXIT
  bin=$build_root/windows/bin
  # No debug-output listener (a user's machine has none: each log line would
  # wait for it), and no probe bound: the figure goes into the summary.
  if python3 tests/e2e/orva_session.py --bundle "$build_root/windows/bundle" \
       --session bench/status_poll.session --prefix "$session_out/wineprefix" --fresh \
       --out "$session_out" \
       --probe "$bin/window_probe.exe" --probe-max-ms 30000 --timeout 300 >"$session_out.log" 2>&1
  then
    session_dir=$session_out
  else
    echo "bench.sh: the session benchmark failed (see $session_out.log); its figures are left out" >&2
  fi
  connect_out=$build_root/bench/connect
  if python3 tests/e2e/orva_session.py --bundle "$build_root/windows/bundle" \
       --session bench/connect_after_install.session --prefix "$connect_out/wineprefix" --fresh \
       --out "$connect_out" --timeout 300 \
       --swap-installer "$build_root/windows/standins/wireguard/wireguard-installer.exe" \
       >"$connect_out.log" 2>&1
  then
    connect_dir=$connect_out
  else
    echo "bench.sh: the connect benchmark failed (see $connect_out.log); its figures are left out" >&2
  fi
else
  echo "bench.sh: the Windows build failed; the session figures are left out" >&2
fi

echo
echo "== summary"
python3 bench/summarize.py "$results/native.json" "${runner_json:--}" "${session_dir:--}" \
  ${connect_dir:+"$connect_dir"}
