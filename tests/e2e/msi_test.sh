#!/usr/bin/env bash
# The Windows Installer package in a new Wine prefix, as an administrator uses
# it: "msiexec /i PACKAGE /quiet" installs the bundle into
# C:\Program Files\ORVA VPN with a Start-menu shortcut; the installed program
# installs WireGuard from its own wireguard\ folder, connects and is closed
# with the tunnel up; a package of a higher version replaces it (one product,
# of the new version) and keeps the tunnel up, its configuration and the
# support log; "msiexec /x" leaves none of its files, no shortcut, no tunnel,
# no configuration and no support log, while WireGuard, its other tunnel and
# its other files stay. Then the removal helper meets links in the log folder
# and leaves their targets alone, and a removal after WireGuard has gone
# succeeds all the same.
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
wireguard="$c/Program Files/WireGuard"
configs=$c/ProgramData/WireGuard/Configurations
support="$c/ProgramData/ORVA VPN"
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

# The bundle as installed: every file of it, and the removal helper beside.
installed_as_built() {
  diff -r -x orva_vpn_cleanup.exe "$build/bundle" "$installed" && test -f "$installed/orva_vpn_cleanup.exe"
}
# A stand-in WireGuard tool run in the prefix; its exit status.
tool() { wine "C:\\Program Files\\WireGuard\\$1" "${@:2}" </dev/null >>"$work/tools.log" 2>&1; }
no_tunnel() { ! tool wg.exe show orva_divuv; }
# What is left of ours beside WireGuard's configurations.
ours_in_configs() { find "$configs" -name orva_divuv.conf -o -name 'orva_divuv.conf*.tmp'; }

# scripts/test.sh signs the build with a throwaway certificate: then this is
# the signed package, and the executable it installs is signed too.
signed() { osslsigncode verify -CAfile "$ORVA_TEST_SIGN_CA" -in "$1" >/dev/null 2>&1; }

echo "== install $(basename "$msi")"
if [[ -n ${ORVA_TEST_SIGN_CA:-} ]]; then
  check "the package's signature verifies" signed "$msi"
fi
check "msiexec /i exits 0" msiexec /i "$msi"
check "the installed folder holds the bundle and the removal helper" installed_as_built
check "one Start-menu shortcut, to the installed program" one_shortcut
check "one product, version $(version "$msi")" test "$(products)" = "$(version "$msi")"
if [[ -n ${ORVA_TEST_SIGN_CA:-} ]]; then
  check "the installed program's signature verifies" signed "$installed/orva_vpn.exe"
  check "the removal helper's signature verifies" signed "$installed/orva_vpn_cleanup.exe"
fi

echo "== the installed program"
check "session from the installed folder" python3 "$here/orva_session.py" --bundle "$installed" \
  --session "$here/sessions/msi_smoke.session" --prefix "$prefix" --out "$work" \
  --listener "$build/bin/debug_output_listener.exe" --timeout 400

orva_wine_session_start "$prefix"
check "the tunnel outlives the program" tool wg.exe show orva_divuv
# Beside ours: another tunnel of WireGuard's, temporary files of two saves of
# ours that never finished, and a file that only looks like one of ours.
printf '[Interface]\r\nPrivateKey = yAnz5TF+lXXJte14tji3zlMNq+hd2rYUIgJBgB3fBmk=\r\n' >"$configs/other.conf"
tool wireguard.exe /installtunnelservice 'C:\ProgramData\WireGuard\Configurations\other.conf' || true
touch "$configs"/{orva_divuv.conf.tmp,orva_divuv.conf.5f2c01.tmp,orva_divuv.conf.bak}
cp "$configs/orva_divuv.conf" "$work/orva_divuv.conf.before"

echo "== upgrade to $(basename "$next_msi")"
check "msiexec /i exits 0" msiexec /i "$next_msi"
check "one product, version $(version "$next_msi")" test "$(products)" = "$(version "$next_msi")"
check "the installed folder holds the bundle and the removal helper" installed_as_built
check "one Start-menu shortcut, to the installed program" one_shortcut
check "the tunnel is still up" tool wg.exe show orva_divuv
check "the configuration is kept, byte for byte" cmp -s "$work/orva_divuv.conf.before" "$configs/orva_divuv.conf"
check "the support log is kept" test -s "$support/logs/plugin.log"

echo "== remove"
check "msiexec /x exits 0" msiexec /x "$next_msi"
check "no installed folder" test ! -e "$installed"
check "no shortcut" test -z "$(shortcuts)"
check "no product" test -z "$(products)"
check "no tunnel" no_tunnel
check "no configuration and no temporary file of ours" test -z "$(ours_in_configs)"
check "no ${support#"$c/"}" test ! -e "$support"
check "WireGuard's tools and its other files stay" \
  test -f "$wireguard/wg.exe" -a -f "$wireguard/wireguard.exe" -a -f "$configs/other.conf" -a -f "$configs/orva_divuv.conf.bak"
check "WireGuard's other tunnel stays up" tool wg.exe show other

echo "== links in the log folder, then a removal after WireGuard"
check "msiexec /i exits 0" msiexec /i "$msi"
outside=$work/outside
mkdir -p "$outside/sub" && echo kept >"$outside/sub/kept.txt" && echo kept >"$outside/kept.txt"
cp -r "$outside" "$work/outside.before"
# where the link is, below C:\ProgramData | what it points to
links=(
  "ORVA VPN|$outside"
  "ORVA VPN/logs|$outside"
  "ORVA VPN/logs/plugin.log|$outside/kept.txt"
)
for l in "${links[@]}"; do
  IFS='|' read -r link target <<<"$l"
  rm -rf "$support"
  if [[ $link != "ORVA VPN" ]]; then mkdir -p "$(dirname "$c/ProgramData/$link")" && echo log >"$support/notes.txt"; fi
  ln -s "$target" "$c/ProgramData/$link"
  wine "C:\\Program Files\\ORVA VPN\\orva_vpn_cleanup.exe" /uninstall </dev/null >>"$work/tools.log" 2>&1 || true
  check "$link a link: its target untouched" diff -r "$work/outside.before" "$outside"
  [[ $link == "ORVA VPN" ]] || check "$link a link: the file beside it removed" test ! -e "$support/notes.txt"
done
rm -rf "$support"
mkdir -p "$support/logs" && echo log >"$support/logs/plugin.log"
msiexec /x "$installed/wireguard/wireguard-installer.msi"
check "msiexec /x exits 0 after WireGuard has gone" msiexec /x "$msi"
check "no product, no ${support#"$c/"}" test -z "$(products)" -a ! -e "$support"

echo "$failures failed"
exit $((failures > 0))
