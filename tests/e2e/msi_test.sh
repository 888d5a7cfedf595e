#!/usr/bin/env bash
# The Windows Installer package in a new Wine prefix, as an administrator uses
# it: "msiexec /i PACKAGE /quiet" installs the bundle into
# C:\Program Files\ORVA VPN with a Start-menu shortcut; the installed program
# installs WireGuard from its own wireguard\ folder and connects; a package of
# a higher version replaces it (one product, of the new version); "msiexec /x"
# leaves none of its files and no shortcut, while WireGuard and the tunnel
# configuration stay.
set -euo pipefail
build=${1:?usage: msi_test.sh BUILD_DIR PACKAGE NEXT_PACKAGE}
msi=${2:?} next_msi=${3:?}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../scripts/wine-env.sh"
# Shortcuts must not turn into desktop entries in the host's home folder.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
work=$build/e2e/msi
prefix=$work/wineprefix
c=$prefix/drive_c
installed="$c/Program Files/ORVA VPN"
version() { local v=${1##*/orva-vpn-}; echo "${v%-x64.msi}"; }

cmake --build "$build" --target msi msi_next_for_tests >/dev/null
orva_wine_session_stop "$prefix"
rm -rf "$work"
mkdir -p "$work"
orva_wine_session_start "$prefix"
trap 'orva_wine_session_stop "$prefix"' EXIT

failures=0
check() {
  local what=$1; shift
  if "$@"; then echo "  passed  $what"; else echo "  FAILED  $what"; failures=$((failures + 1)); fi
}
msiexec() { wine msiexec "$1" "$(winepath -w "$2")" /quiet </dev/null >>"$work/msiexec.log" 2>&1; }
# DisplayVersion of every installed product named "ORVA VPN", one a line.
products() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s </dev/null 2>/dev/null |
    tr -d '\r' | awk '/^HKEY/ { if (n == "ORVA VPN") print v; n = v = "" }
      /^ +DisplayName +REG_SZ/ { sub(/^ +DisplayName +REG_SZ +/, ""); n = $0 }
      /^ +DisplayVersion +REG_SZ/ { v = $3 }
      END { if (n == "ORVA VPN") print v }'
}
# Wine puts a per-machine package's shortcut into the user's Start menu, not the
# common one, so shortcuts are looked for anywhere in the prefix.
shortcuts() { find "$c" -name "ORVA VPN.lnk"; }
# Exactly one shortcut, and it starts the installed program.
one_shortcut() {
  local found
  mapfile -t found < <(shortcuts)
  ((${#found[@]} == 1)) && grep -qaF 'C:\Program Files\ORVA VPN\orva_vpn.exe' "${found[0]}"
}

# scripts/test.sh signs the build with a throwaway certificate: then this is
# the signed package, and the executable it installs is signed too.
signed() { osslsigncode verify -CAfile "$ORVA_TEST_SIGN_CA" -in "$1" >/dev/null 2>&1; }

echo "== install $(basename "$msi")"
if [[ -n ${ORVA_TEST_SIGN_CA:-} ]]; then
  check "the package's signature verifies" signed "$msi"
fi
check "msiexec /i exits 0" msiexec /i "$msi"
check "the installed folder holds exactly the bundle" diff -r "$build/bundle" "$installed"
check "one Start-menu shortcut, to the installed program" one_shortcut
check "one product, version $(version "$msi")" test "$(products)" = "$(version "$msi")"
if [[ -n ${ORVA_TEST_SIGN_CA:-} ]]; then
  check "the installed program's signature verifies" signed "$installed/orva_vpn.exe"
fi

echo "== the installed program"
check "session from the installed folder" python3 "$here/orva_session.py" --bundle "$installed" \
  --session "$here/sessions/msi_smoke.session" --prefix "$prefix" --out "$work" \
  --listener "$build/bin/debug_output_listener.exe" --timeout 400

echo "== upgrade to $(basename "$next_msi")"
orva_wine_session_start "$prefix"
check "msiexec /i exits 0" msiexec /i "$next_msi"
check "one product, version $(version "$next_msi")" test "$(products)" = "$(version "$next_msi")"
check "the installed folder holds exactly the bundle" diff -r "$build/bundle" "$installed"
check "one Start-menu shortcut, to the installed program" one_shortcut

echo "== uninstall"
check "msiexec /x exits 0" msiexec /x "$next_msi"
check "no installed folder" test ! -e "$installed"
check "no shortcut" test -z "$(shortcuts)"
check "no product" test -z "$(products)"
check "WireGuard and the tunnel configuration stay" \
  test -f "$c/Program Files/WireGuard/wg.exe" -a -f "$c/ProgramData/WireGuard/Configurations/orva_divuv.conf"

echo "$failures failed"
exit $((failures > 0))
