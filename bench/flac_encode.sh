#!/usr/bin/env bash
# FLAC encoding CPU time of the maker's encoder (bench/flac_encode_bench.cpp, which calls
# EncodeFlacFile as the encoding thread does) against the `flac` program at the same
# settings, on one 10-minute synthesized stereo WAV at 44100 Hz: level 5 without verify
# (`flac -5 -f`) and level 5 with verify, the maker's default (`flac -5 -V -f`). Runs of the
# two alternate; each figure is the median CPU time (user + system) of its runs.
#
# Usage: bench/flac_encode.sh [BUILD_DIR]
#   BUILD_DIR  a build without sanitizers, e.g. Release (default: $ZIMBAR_BUILD_DIR or build);
#              the script builds the flac_encode_bench target in it
# Environment: RUNS (runs per figure, default 5).
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-${ZIMBAR_BUILD_DIR:-$top/build}}
runs=${RUNS:-5}
command -v flac > /dev/null || { echo "flac_encode.sh: the flac program is not installed" >&2; exit 1; }
command -v sox > /dev/null || { echo "flac_encode.sh: sox is not installed" >&2; exit 1; }
cmake --build "$build" --target flac_encode_bench > /dev/null
tool="$build/bin/flac_encode_bench"

work=$(mktemp -d "${TMPDIR:-/tmp}/zimbar-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Ten minutes of two sweeping tones with a little pink noise: compresses as music would,
# not as a pure tone does.
sox -q -n -r 44100 -c 2 -b 16 "$work/tones.wav" synth 600 sine 220-880 sine 330-660 vol 0.4
sox -q -n -r 44100 -c 2 -b 16 "$work/noise.wav" synth 600 pinknoise vol 0.05
sox -q -m "$work/tones.wav" "$work/noise.wav" "$work/in.wav"
rm -f "$work/tones.wav" "$work/noise.wav"

# CPU seconds (user + system) of one run: waiting for a core on a shared machine is not
# encoding time.
time_once() {
  local TIMEFORMAT='%3U %3S' t
  t=$( { time "$@" > /dev/null 2>&1; } 2>&1 )
  awk '{printf "%.3f", $1 + $2}' <<< "$t"
}
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

compare() {
  local label=$1 verify=$2
  shift 2
  local ours=() theirs=()
  for _ in $(seq "$runs"); do
    ours+=("$(time_once "$tool" "$work/in.wav" "$work/ours.flac" 5 "$verify")")
    theirs+=("$(time_once "$@" -o "$work/ref.flac" "$work/in.wav")")
  done
  local m t
  m=$(median "${ours[@]}")
  t=$(median "${theirs[@]}")
  printf '%s\n' "$label"
  printf '  maker: median %.3f s CPU over %d runs (%s), %d bytes\n' "$m" "$runs" "${ours[*]}" \
    "$(stat -c %s "$work/ours.flac")"
  printf '  flac:  median %.3f s CPU over %d runs (%s), %d bytes\n' "$t" "$runs" "${theirs[*]}" \
    "$(stat -c %s "$work/ref.flac")"
  awk -v m="$m" -v t="$t" 'BEGIN {printf "  ratio maker/flac: %.3f\n", m / t}'
}

compare "level 5 (flac -5 -f)" 0 flac -s -5 -f
compare "level 5 with verify (flac -5 -V -f)" 1 flac -s -5 -V -f
