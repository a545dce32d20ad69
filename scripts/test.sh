#!/usr/bin/env bash
# Installs what is missing (the build's packages and the test tools), unpacks the servers
# the tests start into build-test/test-servers/ (never installed as services), builds the
# tests with AddressSanitizer and UBSan into build-test/ and the fuzz targets with clang
# into build-fuzz/, runs each fuzz target for a few seconds, then starts the servers the
# desktop tests use (an X server and a sound server, private to this run) and runs every
# test.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# The tests type, compare and name files in UTF-8 through tools that follow the locale
# (xdotool, Qt); a minimal Debian sets none. C.UTF-8 comes with libc on every Debian 12.
# Tests of the programs under other locales set their own.
unset LANGUAGE
export LC_ALL=C.UTF-8
"$top/scripts/install-packages.sh" build test
"$top/scripts/fetch-test-servers.sh" "$top/build-test/test-servers"
# Line tables are all the sanitizers' and the fuzzer's reports need: with -g1 instead of
# full debug information the test build compiles in about a tenth less time and its
# objects take less than half the disk.
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
       -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG")
cmake -S "$top" -B "$top/build-test" -G Ninja "${flags[@]}" -DZIMBAR_SANITIZE=ON
cmake --build "$top/build-test"
cmake -S "$top" -B "$top/build-fuzz" -G Ninja "${flags[@]}" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DZIMBAR_FUZZ=ON -DZIMBAR_TESTS=ON
cmake --build "$top/build-fuzz" --target fuzz
status=0
ctest --test-dir "$top/build-fuzz" -L fuzz --output-on-failure -j"$(nproc)" || status=1
# shellcheck source=scripts/test-servers.sh
source "$top/scripts/test-servers.sh"
trap zb_servers_stop EXIT
zb_servers_start
ctest --test-dir "$top/build-test" --output-on-failure -j"$(nproc)" --timeout 600 || status=1
exit $status
