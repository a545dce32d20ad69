#!/usr/bin/env bash
# M4A encoding and decoding CPU time of the maker's adapters (bench/m4a_codec_bench.cpp,
# which calls EncodeM4aFile and DecodeM4aFile as the codec threads do) against `ffmpeg`
# doing the same with the same libraries: `ffmpeg -c:a aac -b:a 128k` from one 10-minute
# synthesized stereo WAV at 44100 Hz, and `ffmpeg -i x.m4a -f wav` back. Runs of the two
# alternate; each figure is the median CPU time (user + system) of its runs.
#
# Usage: bench/m4a_codec.sh [BUILD_DIR]
#   BUILD_DIR  a build without sanitizers, e.g. Release (default: $ZIMBAR_BUILD_DIR or build);
#              the script builds the m4a_codec_bench target in it
# Environment: RUNS (runs per figure, default 5).
set -euo pipefail

command -v ffmpeg > /dev/null || { echo "m4a_codec.sh: ffmpeg is not installed" >&2; exit 1; }
bench_target=m4a_codec_bench
. "$(dirname "${BASH_SOURCE[0]}")/codec_bench_common.sh"

# ffmpeg runs with one thread, as the adapters do.
compare "encode, 128 kbit/s" "$work/ours.m4a" "$work/ref.m4a" ffmpeg -- \
  "$tool" encode "$work/in.wav" "$work/ours.m4a" 128 -- \
  ffmpeg -v error -y -threads 1 -i "$work/in.wav" -c:a aac -b:a 128k "$work/ref.m4a"
compare "decode to WAV" "$work/ours.wav" "$work/ref.wav" ffmpeg -- \
  "$tool" decode "$work/ours.m4a" "$work/ours.wav" -- \
  ffmpeg -v error -y -threads 1 -i "$work/ours.m4a" -f wav "$work/ref.wav"
