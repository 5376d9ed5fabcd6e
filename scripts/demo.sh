#!/usr/bin/env bash
# The main job: builds vyrconvert and runs its demo on the built-in test scene. The PNGs land in
# vyrconvert-demo/ and a table of conversions and their speed is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B out/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C out/release vyrconvert >/dev/null
out/release/tools/vyrconvert/vyrconvert "$@"
