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

command -v flac > /dev/null || { echo "flac_encode.sh: the flac program is not installed" >&2; exit 1; }
bench_target=flac_encode_bench
. "$(dirname "${BASH_SOURCE[0]}")/codec_bench_common.sh"

flac_compare() {
  local label=$1 verify=$2
  shift 2
  compare "$label" "$work/ours.flac" "$work/ref.flac" flac -- \
    "$tool" "$work/in.wav" "$work/ours.flac" 5 "$verify" -- \
    "$@" -o "$work/ref.flac" "$work/in.wav"
}

flac_compare "level 5 (flac -5 -f)" 0 flac -s -5 -f
flac_compare "level 5 with verify (flac -5 -V -f)" 1 flac -s -5 -V -f
