#!/usr/bin/env bash
# Runs every test of the project on a fresh Debian machine (as root):
# installs what is missing, builds the native tree (sanitizers and fuzzers)
# and the Windows tree, then runs ctest in both, the Windows tests under Wine
# with a virtual display. The Windows build is signed, as a release is, with a
# throwaway certificate made here (never committed) and given through the
# environment, so the package tests run on a signed package. The static
# checks (scripts/lint.sh: clang-format and clang-tidy) run on both trees'
# compile databases before the tests.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
builds=$(realpath -m "${ORVA_BUILD_ROOT:-$root/build}")

bash scripts/setup.sh
bash scripts/build.sh native
bash tests/e2e/throwaway_cert.sh "$builds/test-certificate"
export ORVA_SIGN_PKCS12=$builds/test-certificate/signer.p12
export ORVA_TEST_SIGN_CA=$builds/test-certificate/ca.pem
ORVA_SIGN_PASSWORD=$(<"$builds/test-certificate/password")
export ORVA_SIGN_PASSWORD
bash scripts/build.sh windows

status=0
echo "== static checks"
bash scripts/lint.sh || status=1

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
