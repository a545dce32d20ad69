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
cmake --build "$build" --target zbntread zb_cd_access -j2 >/dev/null
access=$(find "$build" -name libzb_cd_access.a | head -n1)
g++ -O2 -std=c++20 -I"$top" "$top/bench/cd_rip_bench.cpp" "$access" $(pkg-config --libs libcdio) -ldl -pthread \
  -o "$build/cd_rip_bench"
ZIMBAR_LIB_DIR="$build/bin" "$build/cd_rip_bench"
