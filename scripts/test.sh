#!/usr/bin/env bash
# Installs what is missing, builds the tests with AddressSanitizer and UBSan into
# build-test/, and runs them all.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-packages.sh"
cmake -S "$top" -B "$top/build-test" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZIMBAR_SANITIZE=ON
cmake --build "$top/build-test"
cd "$top/build-test"
ctest --output-on-failure -j"$(nproc)" --timeout 600
