#!/usr/bin/env bash
# Installs the Debian packages a build needs, only those that are missing.
#   scripts/install-deps.sh            native build, tests, benchmarks, the tool and the Python package
#   scripts/install-deps.sh --cross    also the Windows (mingw-w64, wine64), i386 (qemu) and clang
#                                      (libFuzzer) builds
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev libbenchmark-dev libpng-dev pkg-config binutils
          clang-format-14)
packages+=(dpkg-dev file lintian) # Debian packages of the SDK (dpkg-shlibdeps) and their check
packages+=(python3 python3-dev python3-numpy python3-pytest) # the Python package and its tests
packages+=(libaravis-dev aravis-tools libusb-1.0-0-dev) # vyrgrab and its fake-camera tests
if [[ "${1:-}" == "--cross" ]]; then
  packages+=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64 wine64
             qemu-user-static g++-multilib clang-14 libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
