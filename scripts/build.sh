#!/usr/bin/env bash
# Configures and builds one of the project's build trees.
#   scripts/build.sh native    clang, AddressSanitizer + UBSan, fuzz targets  -> build/native
#   scripts/build.sh windows   MinGW-w64 cross build of the product           -> build/windows
#   scripts/build.sh bench     optimised native build with the benchmarks     -> build/bench
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
kind=${1:?usage: build.sh native|windows|bench}
build=${ORVA_BUILD_ROOT:-$root/build}/$kind

case $kind in
  native)
    args=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
          -DORVA_SANITIZE=ON -DORVA_FUZZ=ON) ;;
  windows)
    args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release) ;;
  bench)
    args=(-DCMAKE_BUILD_TYPE=Release -DORVA_BENCH=ON) ;;
  *) echo "unknown build kind: $kind" >&2; exit 2 ;;
esac

if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$root" -B "$build" -G Ninja "${args[@]}" >/dev/null
fi
cmake --build "$build" -- -j"${ORVA_JOBS:-$(nproc)}"
