#!/usr/bin/env bash
# The SDK as its users get it (run by scripts/test.sh):
#   1. the Debian packages (scripts/build-deb.sh): lintian finds no error; their contents
#   2. that build installed into a temporary prefix (exactly the expected files); the programs of
#      tests/consumer built against it with find_package and with pkg-config, and from this source
#      tree with add_subdirectory; each run; the Python package run from the prefix
#   3. the packages installed with dpkg -i into a throw-away root, vyrconvert --list run from there,
#      and removed with dpkg -r, leaving nothing behind
#   4. the Windows builds given as arguments (out/win32, out/win64): their install trees, and the
#      consumer programs built against them
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
build=out/sdk
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Fails with the differences unless the files and links below $1 are exactly the lines of $2.
expect_tree() {
  if ! diff -u <(echo "$2") <(cd "$1" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort); then
    echo "install tree of $1 differs from the expected one (above)"
    return 1
  fi
}

echo "--- Debian packages"
scripts/build-deb.sh "$build"
lintian --fail-on error "$build"/*.deb
for deb in "$build"/*.deb; do
  echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print "    " $6 ($7 == "->" ? " -> " $8 : "") }'
done
# The packages that ours depend on: the runtime one at the same version, and what dpkg-shlibdeps found.
version=$(dpkg-deb -f "$build"/libvyrutility1_*.deb Version)
depends() { dpkg-deb -f "$build/$1"_*.deb Depends; }
[[ $(depends libvyrutility-dev) == "libvyrutility1 (= $version)" ]]
[[ $(depends vyrutility-tools) == "libvyrutility1 (= $version), "*libpng16-16* ]]
[[ $(depends libvyrutility1) == *libc6*libstdc++6* ]]

echo "--- installed into a prefix"
prefix=$work/prefix
lib=lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
python=lib/python3/dist-packages # where Debian's python3 looks under /usr, the packages' prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
expect_tree "$prefix" "$(LC_ALL=C sort <<EOF
bin/vyrconvert
include/VyrFrame.h
include/VyrLog.h
include/VyrUtility.h
$lib/cmake/VyrUtility/VyrUtilityConfig.cmake
$lib/cmake/VyrUtility/VyrUtilityConfigVersion.cmake
$lib/cmake/VyrUtility/VyrUtilityTargets-release.cmake
$lib/cmake/VyrUtility/VyrUtilityTargets.cmake
$lib/libVyrFrame.so
$lib/libVyrFrame.so.1
$lib/libVyrFrame.so.1.2.0
$lib/libVyrLog.so
$lib/libVyrLog.so.1
$lib/libVyrLog.so.1.2.0
$lib/libVyrUtility.so
$lib/libVyrUtility.so.1
$lib/libVyrUtility.so.1.2.0
$lib/pkgconfig/vyrframe.pc
$lib/pkgconfig/vyrlog.pc
$lib/pkgconfig/vyrutility.pc
$python/vyrutility/__init__.py
$python/vyrutility/__main__.py
$python/vyrutility/_frame.$(/usr/bin/python3 -c 'import sysconfig; print(sysconfig.get_config_var("EXT_SUFFIX")[1:])')
$python/vyrutility/_native.py
$python/vyrutility/_paths.py
$python/vyrutility/_shared.py
share/man/man1/vyrconvert.1.gz
EOF
)"
readelf -d "$prefix/$lib/libVyrUtility.so.1" | grep -q 'SONAME.*\[libVyrUtility\.so\.1\]'
exported=$(nm -D --defined-only "$prefix/$lib/libVyrUtility.so.1" | awk '{ print $3 }')
[[ $(wc -l <<<"$exported") == 168 && -z $(grep -v '^VyrUtil' <<<"$exported") ]]
exported=$(nm -D --defined-only "$prefix/$lib/libVyrFrame.so.1" | awk '{ print $3 }')
[[ -n $exported && -z $(grep -v '^VyrFrame' <<<"$exported") ]]
# One version everywhere: the packages, the tool, the .pc files.
[[ $("$prefix/bin/vyrconvert" --version) == "vyrconvert $version" ]]
[[ $(PKG_CONFIG_PATH=$prefix/$lib/pkgconfig pkg-config --modversion vyrutility) == "$version" ]]
[[ $(PKG_CONFIG_PATH=$prefix/$lib/pkgconfig pkg-config --modversion vyrframe) == "$version" ]]
# The Python package of the prefix loads the prefix's library.
echo "--- python3 -m vyrutility --version"
PYTHONPATH=$prefix/$python /usr/bin/python3 -m vyrutility --version | tee "$work/python-version"
expected="vyrutility $version (VyrFrame $version, $prefix/$lib/libVyrFrame.so.1)"
[[ $(cat "$work/python-version") == "$expected" ]]

consumer() { # name, cmake arguments...
  local dir=$work/$1; shift
  cmake -S tests/consumer -B "$dir" -G Ninja "$@" >/dev/null
  ninja -C "$dir" --quiet
}
echo "--- consumer: find_package"
consumer find_package -DCMAKE_PREFIX_PATH="$prefix"
(cd "$work/find_package" && ctest --output-on-failure)
echo "--- consumer: pkg-config"
(
  export PKG_CONFIG_PATH=$prefix/$lib/pkgconfig
  cc -std=c99 -Wall -Wextra -Wpedantic -Werror tests/consumer/consumer.c \
    $(pkg-config --cflags --libs vyrutility) -o "$work/consumer_c"
  c++ -std=c++17 -Wall -Wextra -Wpedantic -Werror tests/consumer/consumer.cpp \
    $(pkg-config --cflags --libs vyrutility vyrlog) -o "$work/consumer_cpp"
  cc -std=c99 -Wall -Wextra -Wpedantic -Werror tests/consumer/consumer_frame.c \
    $(pkg-config --cflags --libs vyrframe) -o "$work/consumer_frame"
  export LD_LIBRARY_PATH=$(pkg-config --variable=libdir vyrutility)
  "$work/consumer_c"
  "$work/consumer_cpp"
  "$work/consumer_frame"
)
echo "--- consumer: add_subdirectory"
consumer add_subdirectory -DVYR_SOURCE_DIR="$src"
(cd "$work/add_subdirectory" && ctest --output-on-failure)
# Inside another project only the libraries are built.
[[ ! -e $work/add_subdirectory/vyrutility/tests && ! -e $work/add_subdirectory/vyrutility/tools ]]

# The throw-away root: its dpkg database holds only the packages ours depend on, copied from this
# machine's (whose files serve them), so dpkg checks every Depends. Maintainer scripts run outside
# the root (a root without a shell cannot run them); theirs only call ldconfig.
echo "--- dpkg -i into a throw-away root"
root=$work/root
admin=$root/var/lib/dpkg
mkdir -p "$admin/info" "$admin/updates"
touch "$admin/available"
ours=$(for deb in "$build"/*.deb; do dpkg-deb -f "$deb" Package; done)
needed=$(for deb in "$build"/*.deb; do dpkg-deb -f "$deb" Depends; done | tr ',' '\n' |
  sed 's/(.*//; s/ //g' | grep -vxF "$ours" | sort -u)
for package in $needed; do
  dpkg-query -s "$package" >>"$admin/status"
  echo >>"$admin/status"
  touch "$admin/info/$(dpkg-query -W -f '${binary:Package}' "$package").list"
done
in_root=(dpkg --root="$root" --force-script-chrootless)
"${in_root[@]}" -i "$build"/*.deb >/dev/null
list=$("$root/usr/bin/vyrconvert" --list)
echo "vyrconvert --list: $(grep -c ' -> ' <<<"$list") conversions, the first: $(grep -m1 ' -> ' <<<"$list")"
"${in_root[@]}" -r $ours >/dev/null
left=$(cd "$root" && find . -path ./var -prune -o -print | grep -vx '\.' || true)
if [[ -n $left ]]; then
  echo "dpkg -r left: $left"
  exit 1
fi

# Windows: the install tree, and the consumer programs built against it (-static: no MinGW runtime
# DLLs to carry); each name they import from VyrUtility.dll is one it exports, and under wine64
# the 64-bit ones run.
for dir in "$@"; do
  name=$(basename "$dir")
  echo "--- $dir installed"
  cmake --install "$dir" --prefix "$work/$name" >/dev/null
  format=$(objdump -f "$work/$name/bin/VyrUtility.dll" | sed -n 's/.*file format //p')
  def=""
  if [[ $format == pei-i386 ]]; then
    def=lib/VyrUtility.def
  fi
  expect_tree "$work/$name" "$(LC_ALL=C sort <<EOF | sed '/^$/d'
bin/VYRLOG.dll
bin/VyrFrame.dll
bin/VyrUtility.dll
include/VyrFrame.h
include/VyrLog.h
include/VyrUtility.h
lib/cmake/VyrUtility/VyrUtilityConfig.cmake
lib/cmake/VyrUtility/VyrUtilityConfigVersion.cmake
lib/cmake/VyrUtility/VyrUtilityTargets-release.cmake
lib/cmake/VyrUtility/VyrUtilityTargets.cmake
lib/libVYRLOG.dll.a
lib/libVyrFrame.dll.a
lib/libVyrUtility.dll.a
lib/pkgconfig/vyrframe.pc
lib/pkgconfig/vyrlog.pc
lib/pkgconfig/vyrutility.pc
$def
EOF
)"
  toolchain=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$dir/CMakeCache.txt")
  [[ $toolchain == /* ]] || toolchain=$src/$toolchain # as test.sh gives it
  consumer "$name-consumer" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$work/$name" \
    -DCMAKE_EXE_LINKER_FLAGS=-static -DCMAKE_BUILD_TYPE=Release
  # Each program imports from the DLL it was written for, and only names the DLL exports.
  for pair in consumer_c:VyrUtility consumer_cpp:VyrUtility consumer_frame:VyrFrame; do
    exe=$work/$name-consumer/bin/${pair%%:*}.exe dll=${pair##*:}.dll
    exports=$(objdump -p "$work/$name/bin/$dll" | awk '/\[ *[0-9]+\]/ { print $NF }')
    imports=$(objdump -p "$exe" |
      awk -v dll="$dll" '/DLL Name:/ { name = $3 } name == dll && NF == 3 && $1 ~ /^[0-9a-f]+$/ { print $3 }')
    missing=$(comm -23 <(sort <<<"$imports") <(sort <<<"$exports"))
    if [[ -z $imports || -n $missing ]]; then
      echo "$(basename "$exe") imports from $dll what it does not export: ${missing:-nothing at all}"
      exit 1
    fi
    echo "$(basename "$exe"): $(wc -l <<<"$imports") names imported from $dll, all exported"
  done
  if [[ $format == pei-x86-64 ]]; then
    (cd "$work/$name-consumer" && WINEPATH="$work/$name/bin" ctest --output-on-failure)
  fi
done
echo "--- SDK checks passed"
