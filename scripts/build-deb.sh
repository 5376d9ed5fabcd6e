#!/usr/bin/env bash
# Builds the Debian packages into a build directory (default out/deb):
#   libvyrutility1      the shared libraries libVyrUtility.so.1 and libVyrLog.so.1
#   libvyrutility-dev   headers, CMake package, pkg-config files
#   vyrutility-tools    vyrconvert
# Installed under /usr, compiled with Debian's hardening flags. Install them with
# `apt install ./out/deb/*.deb` (or dpkg -i with libpng16-16 present).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-out/deb}
scripts/install-deps.sh

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DVYR_TESTS=OFF -DVYR_BENCH=OFF \
  -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $cppflags" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $cppflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" >/dev/null
ninja -C "$dir" --quiet
rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
ls "$dir"/*.deb
