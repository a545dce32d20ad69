#!/bin/bash
# Start-up time of the maker's window: from the start of zbmaker (no CD drive, no disc
# image) until its main window is mapped on a private X server, median of 9 runs; beside
# it the same for xmessage, a minimal X program, as the reference of what the server and
# the machine cost. Wall-clock milliseconds.
# Usage: bench/maker_startup.sh [BUILD_DIR]   (a build without sanitizers, e.g. Release)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${ZIMBAR_BUILD_DIR:-build}}
maker="$build/bin/zbmaker"
[ -x "$maker" ] || { echo "maker_startup.sh: $maker not found (build the zbmaker target)" >&2; exit 1; }
# shellcheck source=scripts/test-servers.sh
source "$top/scripts/test-servers.sh"
work=$(mktemp -d)
trap 'zb_servers_stop; rm -rf "$work"' EXIT
zb_servers_start >/dev/null
export ZIMBAR_HOME="$work/home" HOME="$work" ASAN_OPTIONS=detect_leaks=0
mkdir -p "$ZIMBAR_HOME"
printf '[Options]\nVersion=66369\n' >"$ZIMBAR_HOME/zbmaker.INI"

# Milliseconds from starting the command until a window whose title matches is mapped.
once() {
  local title=$1; shift
  local start end pid
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 & pid=$!
  # xdotool's own --sync looks only every half second; this looks every 5 ms.
  until xdotool search --onlyvisible --name "$title" >/dev/null 2>&1; do sleep 0.005; done
  end=$(date +%s%N)
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
  echo $(( (end - start) / 1000000 ))
}

median9() {
  local runs=()
  for _ in 1 2 3 4 5 6 7 8 9; do runs+=("$(once "$@")"); done
  printf '%s\n' "${runs[@]}" | sort -n | sed -n 5p
}

once "zbmaker \(v" "$maker" >/dev/null   # warm the caches
maker_ms=$(median9 "zbmaker \(v" "$maker")
ref_ms=$(median9 "zbbenchref" xmessage -title zbbenchref -name zbbenchref "reference")
echo "zbmaker start-up to a shown main window: ${maker_ms} ms (median of 9; target < 300 ms)"
echo "xmessage reference:                      ${ref_ms} ms"
