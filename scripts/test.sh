#!/usr/bin/env bash
# Builds everything and runs every test:
#   1. release build: all tests (unit and cross-process), benchmarks and the tool built
#   2. AddressSanitizer + UndefinedBehaviorSanitizer build: the unit tests
# Warnings are errors in every build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

start=$(date +%s)
jobs=$(nproc)
step() { echo; echo "=== $* ($(( $(date +%s) - start )) s)"; }

configure() { # dir, extra cmake arguments...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DVYR_WERROR=ON "$@" >/dev/null
}

step "release build"
configure out/release -DCMAKE_BUILD_TYPE=Release
ninja -C out/release
(cd out/release && ctest --output-on-failure -j"$jobs")

step "sanitizer build"
configure out/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVYR_SANITIZE=ON -DVYR_BENCH=OFF -DVYR_TOOLS=OFF
ninja -C out/asan
(cd out/asan && ctest -L unit --output-on-failure -j"$jobs")

step "all passed"
