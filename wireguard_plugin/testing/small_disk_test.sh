#!/usr/bin/env bash
# Runs the plugin's full-disk case (Win32SmallDisk) under Wine with WireGuard's
# configuration folder on a real disk of 16 KiB: a tmpfs mounted for this run
# and reached from the Wine prefix through a link in drive C.
#
#   small_disk_test.sh TEST_EXE
#
# Needs root (mount). Exits 77 (skipped) when no tmpfs can be mounted; the
# mount, its folder and the link go on every path.
set -euo pipefail
exe=$(realpath "${1:?usage: small_disk_test.sh TEST_EXE}")
scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd)
source "$scripts/wine-env.sh"

prefix=${ORVA_WINEPREFIX:-}
if [[ -z $prefix ]]; then
  dir=$(dirname "$exe")
  while [[ $dir != / && ! -f $dir/CMakeCache.txt ]]; do dir=$(dirname "$dir"); done
  prefix=$dir/wineprefix
fi
orva_wine_prepare "$prefix"

disk=$(mktemp -d /tmp/orva-small-disk.XXXXXX)
name=orva-small-disk-$$
link=$prefix/drive_c/$name
mounted=0
cleanup() {
  rm -f "$link"
  if [[ $mounted == 1 ]]; then umount "$disk" || umount -l "$disk"; fi
  rmdir "$disk"
}
trap cleanup EXIT
if ! mount -t tmpfs -o size=16k orva-small-disk "$disk" 2>/dev/null; then
  echo "skipped: cannot mount a 16 KiB tmpfs here (needs root and mount rights)"
  exit 77
fi
mounted=1
ln -s "$disk" "$link"

output=$(ORVA_WINEPREFIX=$prefix ORVA_TEST_SMALL_DISK="C:\\$name" \
         bash "$scripts/wine-run.sh" "$exe" --gtest_filter='Win32SmallDisk.*' 2>&1) && status=0 || status=$?
echo "$output"
# The case skips itself without the disk: that would be no test at all.
if [[ $status == 0 ]] && ! grep -q '^\[  PASSED  \] 1 test' <<<"$output"; then status=1; fi
if grep -q 'SKIPPED' <<<"$output"; then status=1; fi
exit $status
