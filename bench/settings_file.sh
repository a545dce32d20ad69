#!/bin/bash
# What the settings file costs a run of zbmaker --batch: wall-clock time and peak memory
# (maximum resident set) of a run that reads zbmaker.INI and converts nothing, for a
# settings file of the usual size and for files of 1 MB and 5 MB of newlines (no settings
# file at all; the reader refuses them). Each with /usr/bin/time -v.
# Usage: bench/settings_file.sh [BUILD_DIR]   (a build without sanitizers, e.g. Release)
set -euo pipefail
build=${1:-${ZIMBAR_BUILD_DIR:-build}}
maker="$build/bin/zbmaker"
[ -x "$maker" ] || { echo "settings_file.sh: $maker not found (build the zbmaker target)" >&2; exit 1; }
command -v /usr/bin/time >/dev/null || { echo "settings_file.sh: needs /usr/bin/time (package time)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ZIMBAR_HOME="$work/home" HOME="$work" ASAN_OPTIONS=detect_leaks=0
mkdir -p "$ZIMBAR_HOME"

run() {
  local label=$1 make=$2
  rm -f "$ZIMBAR_HOME"/zbmaker.INI*
  "$make" >"$ZIMBAR_HOME/zbmaker.INI"
  /usr/bin/time -v "$maker" --batch "$work/nothere.wav" >/dev/null 2>"$work/time.txt" || true
  local wall rss
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt")
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
  printf '%-34s %10s wall  %8d KB peak\n' "$label" "$wall" "$rss"
}

usual() { printf '[Options]\nVersion=66369\nMPEGMode=1\n'; }
newlines1() { head -c 1000000 /dev/zero | tr '\0' '\n'; }
newlines5() { head -c 5000000 /dev/zero | tr '\0' '\n'; }

run "zbmaker.INI of 3 lines:" usual
run "zbmaker.INI of 1 MB of newlines:" newlines1
run "zbmaker.INI of 5 MB of newlines:" newlines5
