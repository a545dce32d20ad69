#!/usr/bin/env bash
# Decoding speed of `zbmaker --batch --mp32wav` against the `mpg123` program on one
# 3-minute synthesized stereo MP3 (lame -b 128). Five runs each; prints both medians and
# their ratio, then checks that both WAVs hold the same samples. Use a Release build:
#   ZIMBAR_BUILD_DIR=build bench/decode_mp3.sh
set -euo pipefail
runs=${RUNS:-5}
. "$(dirname "$0")/maker_bench.sh"

synth_music "$work/source.wav"
lame --quiet -b 128 "$work/source.wav" "$work/song.mp3"
rm -f "$work/source.wav"

maker_times=()
mpg123_times=()
for i in $(seq "$runs"); do
  t0=$(seconds)
  "$bin/zbmaker" --batch --yes --mp32wav "$work/song.mp3" >/dev/null
  t1=$(seconds)
  mpg123 -q -w "$work/mpg123.wav" "$work/song.mp3"
  t2=$(seconds)
  maker_times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.3f", b - a}')")
  mpg123_times+=("$(awk -v a="$t1" -v b="$t2" 'BEGIN {printf "%.3f", b - a}')")
done

maker=$(median "${maker_times[@]}")
mpg=$(median "${mpg123_times[@]}")
printf 'zbmaker --batch: median %.3f s over %d runs (%s)\n' "$maker" "$runs" "${maker_times[*]}"
printf 'mpg123:          median %.3f s over %d runs (%s)\n' "$mpg" "$runs" "${mpg123_times[*]}"
awk -v m="$maker" -v l="$mpg" 'BEGIN {printf "ratio zbmaker/mpg123: %.3f\n", m / l}'

# The samples after the headers (which may differ in their chunks) must be the same.
sox "$work/song.wav" -t raw "$work/maker.raw"
sox "$work/mpg123.wav" -t raw "$work/mpg123.raw"
if cmp -s "$work/maker.raw" "$work/mpg123.raw"; then
  echo "samples: identical ($(stat -c %s "$work/maker.raw") bytes)"
else
  echo "samples: DIFFER (zbmaker $(stat -c %s "$work/maker.raw") bytes, mpg123 $(stat -c %s "$work/mpg123.raw") bytes)" >&2
  exit 1
fi
