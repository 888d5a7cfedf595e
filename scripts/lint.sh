#!/usr/bin/env bash
# Static checks of the project's own code, as CI runs them:
#   1. clang-format: every C and C++ file the repository tracks is formatted
#      as .clang-format says (nothing is rewritten; differences fail).
#   2. clang-tidy with the root .clang-tidy over the product's code (runner/,
#      engine_client/, codec/, wireguard_plugin/, common/ and the removal
#      helper in installer/; tests, fakes, fuzz and testing folders left
#      out). Files of the native build are checked through its compile
#      database; the Windows-only files through the MinGW build's, with
#      clang aimed at the MinGW target and headers.
# Needs both build trees configured (scripts/build.sh native, windows).
# Exit 0 when both checks are clean.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
builds=$(realpath -m "${ORVA_BUILD_ROOT:-$root/build}")
status=0

echo "== clang-format"
mapfile -t owned < <(git ls-files '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
if ! clang-format --dry-run --Werror "${owned[@]}"; then
  echo "clang-format: the files above differ from .clang-format (run clang-format -i on them)"
  status=1
fi

echo "== clang-tidy"
product_files() {
  git ls-files 'runner/*.cc' 'runner/*.cpp' 'engine_client/*.cc' 'codec/*.cc' \
               'wireguard_plugin/*.cc' 'common/*.cc' 'installer/*.cc' |
    grep -v -E '(^|/)(tests|testing|fuzz)/|_test\.|(^|/)fake_' || true
}
# The files each compile database knows, from the product's list.
in_database() {
  python3 -c '
import json, os, sys
known = {os.path.realpath(e["file"]) for e in json.load(open(sys.argv[1]))}
for line in sys.stdin:
    if os.path.realpath(line.strip()) in known:
        print(line.strip())
' "$1"
}
mapfile -t all_files < <(product_files)
mapfile -t native_files < <(printf '%s\n' "${all_files[@]}" | in_database "$builds/native/compile_commands.json")
mapfile -t windows_only < <(printf '%s\n' "${all_files[@]}" | grep -v -x -F -f <(printf '%s\n' "${native_files[@]}") |
                            in_database "$builds/windows/compile_commands.json")
unchecked=$(printf '%s\n' "${all_files[@]}" | grep -v -x -F -f <(printf '%s\n' "${native_files[@]}" "${windows_only[@]}") || true)
if [[ -n $unchecked ]]; then
  echo "clang-tidy: in neither compile database: $unchecked"
  status=1
fi

gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
mingw_args=(--extra-arg=--target=x86_64-w64-mingw32 --extra-arg=-nostdinc++
            "--extra-arg=-isystem$gcc_dir/include/c++"
            "--extra-arg=-isystem$gcc_dir/include/c++/x86_64-w64-mingw32"
            "--extra-arg=-isystem$gcc_dir/include/c++/backward")
jobs=${ORVA_JOBS:-$(nproc)}
# One clang-tidy per file, |jobs| at a time; xargs fails when any of them does.
tidy() {
  local database=$1
  shift
  xargs -r -n 1 -P "$jobs" clang-tidy --quiet -p "$database" "$@" 2>/dev/null
}
printf '%s\n' "${native_files[@]}" | tidy "$builds/native" || status=1
printf '%s\n' "${windows_only[@]}" | tidy "$builds/windows" "${mingw_args[@]}" || status=1
echo "clang-tidy: ${#native_files[@]} files (native), ${#windows_only[@]} files (Windows only)"
exit $status
