#!/usr/bin/env bash
# The main job, end to end, on a fresh Debian machine (as root): installs what
# is missing, builds the Windows product and its bundle, prepares a new Wine
# prefix without WireGuard, starts a virtual display, and runs the real
# orva_vpn.exe with the demo UI session (detect, install WireGuard from the
# bundle, connect, poll status and traffic, rebuild the tunnel, disconnect).
# Prints every call, reply and plugin log line as it happens, saves a
# screenshot of the connected window, and exits 0 only if every step answered
# as expected.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh
echo "== building the Windows product"
bash scripts/build.sh windows

build=${ORVA_BUILD_ROOT:-$root/build}/windows
out=${ORVA_BUILD_ROOT:-$root/build}/demo
source scripts/wine-env.sh
orva_display_start
trap orva_display_stop EXIT

echo "== running ORVA VPN under Wine (display $DISPLAY)"
python3 tests/e2e/orva_session.py \
  --bundle "$build/bundle" \
  --session "$root/demo/demo.session" \
  --prefix "$out/wineprefix" --fresh \
  --out "$out" \
  --listener "$build/bin/debug_output_listener.exe" \
  --screenshot-after getStats:3 \
  --timeout 900
