#!/usr/bin/env bash
# Installs what building and running need (scripts/packages-build.txt) where it is missing,
# builds everything into build/, then runs the main job: the maker converts a WAV file it
# is given (synthesized here) to MP3. The test tools are scripts/test.sh's to install.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-packages.sh" build
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZIMBAR_TESTS=OFF
cmake --build "$top/build"
"$top/scripts/demo.sh"
