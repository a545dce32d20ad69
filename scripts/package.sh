#!/usr/bin/env bash
# Builds the Debian package: a Release build without tests in build-package/, then CPack's
# DEB generator. Prints the path of the .deb; `apt install ./build-package/zimbar_*.deb`
# installs it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-package}
"$top/scripts/install-packages.sh" build
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZIMBAR_TESTS=OFF -DZIMBAR_SANITIZE=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr
cmake --build "$build"
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/zimbar_*.deb
