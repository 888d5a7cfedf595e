#!/usr/bin/env bash
# Makes a throwaway certificate authority and a code-signing certificate
# issued by it, valid for two days, for tests only:
#
#   throwaway_cert.sh DIR  ->  DIR/ca.pem          the CA's certificate (for osslsigncode verify -CAfile)
#                              DIR/signer.p12      certificate, key and CA chain (ORVA_SIGN_PKCS12)
#                              DIR/password        the PKCS#12 file's random password (ORVA_SIGN_PASSWORD)
#
# DIR is emptied first and readable by its owner only. Nothing here is ever
# committed: DIR belongs in a build folder.
set -euo pipefail
dir=${1:?usage: throwaway_cert.sh DIR}
rm -rf "$dir"
mkdir -p "$dir"
chmod 700 "$dir"
cd "$dir"
openssl rand -hex 16 | tr -d '\n' >password

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout ca.key -out ca.pem \
  -subj "/O=ORVA test/CN=ORVA throwaway test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
  -subj "/O=ORVA/CN=ORVA throwaway code signing" 2>/dev/null
printf '%s\n' "basicConstraints=critical,CA:FALSE" "keyUsage=critical,digitalSignature" \
  "extendedKeyUsage=codeSigning" >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
  -extfile signer.ext -out signer.pem 2>/dev/null
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -out signer.p12 \
  -passout file:password
rm -f ca.key ca.srl signer.key signer.csr signer.ext signer.pem
