#!/usr/bin/env bash
# Runs one Windows program under Wine, in a Wine prefix of its own inside the
# build tree, so that a developer's own Wine settings are never touched.
# Used by ctest as CMAKE_CROSSCOMPILING_EMULATOR and by the demo scripts.
#
# The prefix is ORVA_WINEPREFIX when set; otherwise <build>/wineprefix, where
# <build> is the nearest folder above the program that holds CMakeCache.txt.
set -euo pipefail
[[ $# -ge 1 ]] || { echo "usage: wine-run.sh PROGRAM [ARGS...]" >&2; exit 2; }

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh"

if [[ -z ${ORVA_WINEPREFIX:-} ]]; then
  dir=$(cd "$(dirname "$1")" && pwd)
  while [[ $dir != / && ! -f $dir/CMakeCache.txt ]]; do dir=$(dirname "$dir"); done
  [[ -f $dir/CMakeCache.txt ]] || { echo "wine-run.sh: no build tree above $1" >&2; exit 2; }
  ORVA_WINEPREFIX=$dir/wineprefix
fi
orva_wine_prepare "$ORVA_WINEPREFIX"
exec wine "$@"
