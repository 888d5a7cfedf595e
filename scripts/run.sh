#!/usr/bin/env bash
# The main job, end to end, on a fresh Debian machine (as root): installs what
# is missing, builds the Windows product, its bundle and its MSI package,
# prepares a new Wine prefix without WireGuard, starts a virtual display,
# installs the package there as an administrator would (msiexec /i /quiet),
# and runs the installed orva_vpn.exe from C:\Program Files\ORVA VPN with the
# demo UI session (detect, install WireGuard from the installed wireguard\
# folder, connect, poll status and traffic, rebuild the tunnel, disconnect).
# The tunnel is real: the stand-in tools hand each run to WireGuard's own
# wg-quick and wg in a network namespace, with a wireguard-go peer in a second
# one and a download crossing the tunnel (standins/wireguard/real). Where the
# machine cannot make namespaces, it says why and runs the simulated tools.
# Prints every call, reply and plugin log line as it happens, then the peer's
# own `wg show` beside the counters the UI got; saves a screenshot of the
# connected window, and exits 0 only if every step answered as expected.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh
echo "== building the Windows product and its package"
bash scripts/build.sh windows
build=${ORVA_BUILD_ROOT:-$root/build}/windows
cmake --build "$build" --target msi
msi=$(sed -n 's/^ORVA_MSI:INTERNAL=//p' "$build/CMakeCache.txt")

out=${ORVA_BUILD_ROOT:-$root/build}/demo
prefix=$out/wineprefix
source scripts/wine-env.sh
# Shortcuts must not turn into desktop entries in the host's home folder.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
orva_display_start
trap 'orva_wine_session_stop "$prefix"; orva_display_stop' EXIT

echo "== installing $(basename "$msi") into a new Wine prefix (msiexec /i /quiet)"
orva_wine_session_stop "$prefix"
rm -rf "$prefix"
orva_wine_session_start "$prefix"
wine msiexec /i "$(winepath -w "$msi")" /quiet </dev/null >"$out/msiexec.log" 2>&1
installed="$prefix/drive_c/Program Files/ORVA VPN"
echo "installed into C:\\Program Files\\ORVA VPN: $(find "$installed" -type f | wc -l) files;" \
     "Start-menu shortcut: $(find "$prefix/drive_c" -name 'ORVA VPN.lnk' | wc -l)"

tunnel=(--real-tunnel)
session=$root/demo/real_tunnel.session
reason=$(python3 standins/wireguard/real/real_tunnel.py check)
if [[ -n $reason ]]; then
  echo "real WireGuard tunnel unavailable, running simulated: $reason"
  tunnel=()
  session=$root/demo/demo.session
fi

echo "== running the installed ORVA VPN under Wine (display $DISPLAY)"
python3 tests/e2e/orva_session.py "${tunnel[@]}" \
  --bundle "$installed" \
  --session "$session" \
  --prefix "$prefix" \
  --out "$out" \
  --listener "$build/bin/debug_output_listener.exe" \
  --screenshot-after getStats:3 \
  --timeout 900
