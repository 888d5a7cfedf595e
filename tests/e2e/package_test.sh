#!/usr/bin/env bash
# Builds the shipping ZIP, unpacks it into an empty folder and runs a short
# session from the unpacked bundle in a new Wine prefix: the package alone
# must be enough to install WireGuard and connect.
set -euo pipefail
build=${1:?usage: package_test.sh BUILD_DIR}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$build/e2e/package
rm -rf "$work"
mkdir -p "$work"

(cd "$build" && cpack -G ZIP >/dev/null)
zip=$(ls "$build"/package/orva_vpn-*-win64.zip)
echo "package: $zip ($(stat -c %s "$zip") bytes)"
unzip -q "$zip" -d "$work/unpacked"
bundle=$(ls -d "$work"/unpacked/orva_vpn-*-win64)
for f in orva_vpn.exe flutter_windows.dll data/icudtl.dat data/app.so wireguard/wireguard-installer.msi; do
  [[ -e $bundle/$f ]] || { echo "missing from the package: $f"; exit 1; }
done

exec python3 "$here/orva_session.py" --bundle "$bundle" --session "$here/sessions/package_smoke.session" \
  --prefix "$work/wineprefix" --fresh --out "$work" --timeout 400
