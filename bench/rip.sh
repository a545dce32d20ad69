#!/usr/bin/env bash
# Rips a synthesized 10-minute disc image with jitter correction off and on and prints the
# speed as a multiple of real time. Usage: bench/rip.sh [BUILD_DIR] (default build-bench/,
# configured in release mode; an existing build tree with zbntread built may be given).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-bench}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZIMBAR_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target zbntread cd_rip_bench -j2 >/dev/null
ZIMBAR_LIB_DIR="$build/bin" "$build/bin/cd_rip_bench"
