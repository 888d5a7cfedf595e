#!/usr/bin/env bash
# The signed build, as a release signs it: with a code-signing certificate in
# the environment, the bundle's orva_vpn.exe, the same executable inside the
# MSI, and the MSI itself pass "osslsigncode verify" against the issuing CA;
# a copy with one flipped byte in its signed content fails on the digest; the
# password shows nowhere in the verbose build output; the MSI's Manufacturer
# and the executable's CompanyName name one publisher.
#
# The certificate is the environment's (ORVA_SIGN_PKCS12, ORVA_SIGN_PASSWORD,
# with its CA in ORVA_TEST_SIGN_CA, as scripts/test.sh sets them) or else a
# throwaway one made here.
set -euo pipefail
build=$(realpath "${1:?usage: signature_test.sh BUILD_DIR PACKAGE}")
msi=$(realpath -m "${2:?}")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$build/e2e/signature
rm -rf "$work"
mkdir -p "$work"
if [[ -z ${ORVA_SIGN_PKCS12:-} || -z ${ORVA_TEST_SIGN_CA:-} ]]; then
  bash "$here/throwaway_cert.sh" "$work/cert"
  export ORVA_SIGN_PKCS12=$work/cert/signer.p12 ORVA_TEST_SIGN_CA=$work/cert/ca.pem
  ORVA_SIGN_PASSWORD=$(<"$work/cert/password")
  export ORVA_SIGN_PASSWORD
fi

failures=0
check() {
  local what=$1; shift
  if "$@"; then echo "  passed  $what"; else echo "  FAILED  $what"; failures=$((failures + 1)); fi
}
verifies() { osslsigncode verify -CAfile "$ORVA_TEST_SIGN_CA" -in "$1" >"$work/verify.log" 2>&1; }
# A copy of FILE with the first byte of the text MARKER inverted in its lowest
# bit fails verification because its digest no longer matches.
tampered_fails() {
  local file=$1 marker=$2 copy=$work/tampered-${1##*/} offset byte
  offset=$(grep -boaF -m1 "$marker" "$file" | head -1 | cut -d: -f1)
  [[ -n $offset ]] || { echo "    no \"$marker\" in $file"; return 1; }
  cp "$file" "$copy"
  byte=$(od -An -tu1 -j "$offset" -N1 "$copy" | tr -d ' ')
  printf "\\$(printf %03o $((byte ^ 1)))" | dd of="$copy" bs=1 seek="$offset" conv=notrunc status=none
  ! verifies "$copy" && grep -q 'MISMATCH' "$work/verify.log"
}

build_package() { cmake --build "$build" --target msi -- -v >"$work/build.log" 2>&1; }
check "the package builds with the certificate" build_package
check "the password shows nowhere in the build output" \
  bash -c '! grep -qF -- "$1" "$2"' _ "$ORVA_SIGN_PASSWORD" "$work/build.log"
# A stand-in osslsigncode checks, while it runs, that the password came on
# its standard input and rests in no file of the signing folder (where an
# interrupted step would leave it).
pipe_only() {
  mkdir -p "$work/stub"
  cat >"$work/stub/osslsigncode" <<'EOF'
#!/bin/sh
for out; do :; done
[ "$(cat)" = "$ORVA_SIGN_PASSWORD" ] && ! grep -rqF -- "$ORVA_SIGN_PASSWORD" "${out%/*/*}" && : >"$out"
EOF
  chmod +x "$work/stub/osslsigncode"
  cmake -D INPUT="$build/bundle/orva_vpn.exe" -D OUTPUT="$work/stub/signed.exe" -D BUILD_DIR="$work/stub" \
    -D OSSLSIGNCODE="$work/stub/osslsigncode" -P "$here/../../cmake/sign_file.cmake" >/dev/null 2>&1
}
check "the password reaches osslsigncode through a pipe, never a file" pipe_only
msiextract -C "$work/extracted" "$msi" >/dev/null
inner=$(find "$work/extracted" -name orva_vpn.exe | head -1)

# file | the text whose first byte the tampered copy changes
cases=(
  "$build/bundle/orva_vpn.exe|requireAdministrator"
  "$inner|requireAdministrator"
  "$msi|A newer version of ORVA VPN"
)
for c in "${cases[@]}"; do
  IFS='|' read -r file marker <<<"$c"
  echo "== ${file#"$build"/}"
  check "verifies against the issuing CA" verifies "$file"
  check "one flipped byte (in \"$marker\") fails verification" tampered_fails "$file" "$marker"
done

echo "== publisher"
manufacturer=$(msiinfo export "$msi" Property | tr -d '\r' | sed -n 's/^Manufacturer\t//p')
company=$(x86_64-w64-mingw32-windres -i "$build/bundle/orva_vpn.exe" -O rc |
  sed -n 's/^ *VALUE "CompanyName", "\(.*\)"$/\1/p')
check "the MSI's Manufacturer \"$manufacturer\" is the executable's CompanyName \"$company\"" \
  test -n "$company" -a "$manufacturer" = "$company"

echo "$failures failed"
exit $((failures > 0))
