#!/usr/bin/env bash
# Runs every test of the project on a fresh Debian machine (as root):
# installs what is missing, builds the native tree (sanitizers and fuzzers)
# and the Windows tree, then runs ctest in both, the Windows tests under Wine
# with a virtual display.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh
bash scripts/build.sh native
bash scripts/build.sh windows

builds=${ORVA_BUILD_ROOT:-$root/build}
status=0
echo "== native tests (AddressSanitizer, UndefinedBehaviorSanitizer, fuzz smoke runs)"
(cd "$builds/native" && ctest --output-on-failure -j"$(nproc)") || status=1

echo "== Windows tests under Wine"
source scripts/wine-env.sh
orva_display_start
prefix=$builds/windows/wineprefix
orva_wine_session_start "$prefix"
trap 'orva_wine_session_stop "$prefix"; orva_display_stop' EXIT
(cd "$builds/windows" && ORVA_WINEPREFIX=$prefix ctest --output-on-failure -j"$(nproc)") || status=1

exit $status
