#!/usr/bin/env bash
# Ogg Vorbis encoding CPU time of the maker's encoder against the `oggenc` program at the
# same setting (quality 5, the maker's default) on one 10-minute synthesized stereo WAV at
# 44100 Hz. Runs of the two alternate; each figure is the median CPU time (user + system).
#
# Usage: bench/vorbis_encode.sh [BUILD_DIR]
#   BUILD_DIR  a build without sanitizers, e.g. Release (default: $ZIMBAR_BUILD_DIR or build);
#              the script builds the ogg_codec_bench target in it
# Environment: RUNS (runs per figure, default 5).
set -euo pipefail
command -v oggenc > /dev/null || { echo "vorbis_encode.sh: oggenc (vorbis-tools) is not installed" >&2; exit 1; }
bench_target=ogg_codec_bench
. "$(dirname "${BASH_SOURCE[0]}")/codec_bench_common.sh"

compare "quality 5 (oggenc -q 5)" "$work/ours.ogg" "$work/ref.ogg" oggenc -- \
  "$tool" vorbis "$work/in.wav" "$work/ours.ogg" 5 -- \
  oggenc -Q -q 5 -o "$work/ref.ogg" "$work/in.wav"
