#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need.
# Idempotent: installs only what is missing and runs 'apt-get update' only
# when something must be installed. Runs as root without a terminal.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev         # native build, sanitizers, libFuzzer
  clang-format clang-tidy                                # static checks (scripts/lint.sh)
  g++-mingw-w64-x86-64-posix mingw-w64-tools             # the Windows product
  googletest libbenchmark-dev                            # tests and benchmarks
  libmsgpack-cxx-dev                                     # a benchmark peer
  nlohmann-json3-dev                                     # the stand-in engine's JSON; a benchmark peer
  wine wine64 xvfb xauth x11-apps x11-utils imagemagick           # running and looking at the product
  wixl msitools                                          # MSI packages: the product's, the stand-in WireGuard's; msiinfo
  osslsigncode openssl                                   # Authenticode signing; the tests' throwaway certificates
  zip unzip file python3
  wireguard-go wireguard-tools nftables iproute2         # the real tunnel behind the stand-in tools
  locales                                                # a Russian locale (code page 1251) for Wine in tests
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  if [[ $(id -u) -ne 0 ]]; then
    echo "setup: must run as root to install packages" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq </dev/null
  apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
else
  echo "setup: all packages present"
fi
