#!/usr/bin/env bash
# Opus encoding CPU time of the maker's encoder against the `opusenc` program at the same
# setting (160 kbit/s variable bit rate, the maker's default) on one 10-minute synthesized
# stereo WAV at 44100 Hz (both resample to 48 kHz). Runs of the two alternate; each figure
# is the median CPU time (user + system).
#
# Usage: bench/opus_encode.sh [BUILD_DIR]
#   BUILD_DIR  a build without sanitizers, e.g. Release (default: $ZIMBAR_BUILD_DIR or build);
#              the script builds the ogg_codec_bench target in it
# Environment: RUNS (runs per figure, default 5).
set -euo pipefail
command -v opusenc > /dev/null || { echo "opus_encode.sh: opusenc (opus-tools) is not installed" >&2; exit 1; }
bench_target=ogg_codec_bench
. "$(dirname "${BASH_SOURCE[0]}")/codec_bench_common.sh"

compare "160 kbit/s (opusenc --bitrate 160)" "$work/ours.opus" "$work/ref.opus" opusenc -- \
  "$tool" opus "$work/in.wav" "$work/ours.opus" 160 -- \
  opusenc --quiet --bitrate 160 "$work/in.wav" "$work/ref.opus"
