#!/usr/bin/env bash
# Installs what is missing, builds the tests with AddressSanitizer and UBSan into
# build-test/, starts the servers the desktop tests use (an X server and a sound server,
# private to this run) and runs every test.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-packages.sh"
cmake -S "$top" -B "$top/build-test" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZIMBAR_SANITIZE=ON
cmake --build "$top/build-test"
# shellcheck source=scripts/test-servers.sh
source "$top/scripts/test-servers.sh"
trap zb_servers_stop EXIT
zb_servers_start
cd "$top/build-test"
ctest --output-on-failure -j"$(nproc)" --timeout 600
