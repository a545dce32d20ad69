#!/usr/bin/env bash
# Playback cost: CPU seconds per minute of audio for a 30-second MP3, WAV and AAC file
# played through the paced null output, beside mpg123 playing the same MP3 (on the sound
# server when one runs, else -o dummy, which does not pace), and the time from Play to the
# first sample reaching the output. Use a Release build:
#   bench/playback.sh build
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
cmake --build "$build" --target playback_bench zbaaclib zbdsound >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seconds=30
sox -n -r 44100 -c 2 -b 16 "$work/song.wav" synth "$seconds" sine 220-880 sine 330 tremolo 3 40 gain -6 2>/dev/null
lame --quiet -b 128 "$work/song.wav" "$work/song.mp3"
ffmpeg -v error -y -i "$work/song.wav" -c:a aac -b:a 128k -f adts "$work/song.aac"

"$build/bin/playback_bench" "$work/song.mp3" "$seconds" "$work/song.wav" "$seconds" "$work/song.aac" "$seconds"

output=dummy
if [ -n "${PULSE_SERVER:-}" ] && pactl info >/dev/null 2>&1; then output=pulse; fi
TIMEFORMAT='%U %S'
cpu=$( { time mpg123 -q -o "$output" "$work/song.mp3" >/dev/null 2>&1; } 2>&1 )
awk -v c="$cpu" -v s="$seconds" -v o="$output" \
  'BEGIN {split(c, t, " "); printf "mpg123 -o %-29s cpu %.3f s per minute of audio (%.3f s for %.1f s)\n", o, (t[1] + t[2]) * 60 / s, t[1] + t[2], s}'
