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

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-${ZIMBAR_BUILD_DIR:-$top/build}}
runs=${RUNS:-5}
command -v ffmpeg > /dev/null || { echo "m4a_codec.sh: ffmpeg is not installed" >&2; exit 1; }
command -v sox > /dev/null || { echo "m4a_codec.sh: sox is not installed" >&2; exit 1; }
cmake --build "$build" --target m4a_codec_bench > /dev/null
tool="$build/bin/m4a_codec_bench"

work=$(mktemp -d "${TMPDIR:-/tmp}/zimbar-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Ten minutes of two sweeping tones with a little pink noise: costs the encoder what music
# would, not what a pure tone does.
sox -q -n -r 44100 -c 2 -b 16 "$work/tones.wav" synth 600 sine 220-880 sine 330-660 vol 0.4
sox -q -n -r 44100 -c 2 -b 16 "$work/noise.wav" synth 600 pinknoise vol 0.05
sox -q -m "$work/tones.wav" "$work/noise.wav" "$work/in.wav"
rm -f "$work/tones.wav" "$work/noise.wav"

# CPU seconds (user + system) of one run: waiting for a core on a shared machine is not
# coding time. ffmpeg runs with one thread, as the adapters do.
time_once() {
  local TIMEFORMAT='%3U %3S' t
  t=$( { time "$@" > /dev/null 2>&1; } 2>&1 )
  awk '{printf "%.3f", $1 + $2}' <<< "$t"
}
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

report() {
  local label=$1 ourFile=$2 refFile=$3
  shift 3
  local m t
  m=$(median "${ours[@]}")
  t=$(median "${theirs[@]}")
  printf '%s\n' "$label"
  printf '  maker:  median %.3f s CPU over %d runs (%s), %d bytes\n' "$m" "$runs" "${ours[*]}" \
    "$(stat -c %s "$ourFile")"
  printf '  ffmpeg: median %.3f s CPU over %d runs (%s), %d bytes\n' "$t" "$runs" "${theirs[*]}" \
    "$(stat -c %s "$refFile")"
  awk -v m="$m" -v t="$t" 'BEGIN {printf "  ratio maker/ffmpeg: %.3f\n", m / t}'
}

ours=() theirs=()
for _ in $(seq "$runs"); do
  ours+=("$(time_once "$tool" encode "$work/in.wav" "$work/ours.m4a" 128)")
  theirs+=("$(time_once ffmpeg -v error -y -threads 1 -i "$work/in.wav" -c:a aac -b:a 128k "$work/ref.m4a")")
done
report "encode, 128 kbit/s" "$work/ours.m4a" "$work/ref.m4a"

ours=() theirs=()
for _ in $(seq "$runs"); do
  ours+=("$(time_once "$tool" decode "$work/ours.m4a" "$work/ours.wav")")
  theirs+=("$(time_once ffmpeg -v error -y -threads 1 -i "$work/ours.m4a" -f wav "$work/ref.wav")")
done
report "decode to WAV" "$work/ours.wav" "$work/ref.wav"
