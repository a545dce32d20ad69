#!/usr/bin/env bash
# Takes the screenshots of the player's windows in every shipped skin, under a private
# X server, into docs/screenshots/ (SKIN-main.png, SKIN-eq.png).
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default: build-test, then build)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-}
if [ -z "$build" ]; then
  for candidate in "$top/build-test" "$top/build"; do
    [ -x "$candidate/bin/zbskinview" ] && build=$candidate && break
  done
fi
if [ -z "$build" ] || [ ! -x "$build/bin/zbskinview" ]; then
  echo "screenshots: zbskinview is not built (cmake --build BUILD --target zbskinview)" >&2
  exit 1
fi
# shellcheck source=scripts/test-servers.sh
source "$top/scripts/test-servers.sh"
trap zb_servers_stop EXIT
zb_servers_start >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/zimbar-shots.XXXXXX")
# The preview reads and writes settings: keep them away from the user's own.
export ZIMBAR_HOME="$work/home"
export ASAN_OPTIONS=detect_leaks=0
out="$top/docs/screenshots"
mkdir -p "$out"
for skin in "$top"/skins/*/; do
  name=$(basename "$skin")
  "$build/bin/zbskinview" --skin "$skin" --at 40,40 --demo --screenshot "$work/$name" 2>/dev/null
  cp "$work/$name/main.png" "$out/$name-main.png"
  cp "$work/$name/eq.png" "$out/$name-eq.png"
  echo "screenshots: $out/$name-main.png $out/$name-eq.png"
done
rm -rf "$work"
