#!/usr/bin/env bash
# Encoding speed of `zbmaker --batch` against the `lame` program at the same settings
# (MPEG-1, 128 kbit/s, stereo, fast mode = lame -q 7) on one 3-minute synthesized WAV.
# Three runs each; prints both medians and their ratio. Use a Release build:
#   ZIMBAR_BUILD_DIR=build bench/encode_mp3.sh
set -euo pipefail
runs=${RUNS:-3}
. "$(dirname "$0")/maker_bench.sh"

synth_music "$work/in.wav"

maker_times=()
lame_times=()
for i in $(seq "$runs"); do
  t0=$(seconds)
  "$bin/zbmaker" --batch --yes -stereo -128 "$work/in.wav" >/dev/null
  t1=$(seconds)
  lame --quiet -b 128 -m s -q 7 "$work/in.wav" "$work/lame.mp3"
  t2=$(seconds)
  maker_times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.3f", b - a}')")
  lame_times+=("$(awk -v a="$t1" -v b="$t2" 'BEGIN {printf "%.3f", b - a}')")
done

maker=$(median "${maker_times[@]}")
lamet=$(median "${lame_times[@]}")
printf 'zbmaker --batch: median %.3f s over %d runs (%s)\n' "$maker" "$runs" "${maker_times[*]}"
printf 'lame:            median %.3f s over %d runs (%s)\n' "$lamet" "$runs" "${lame_times[*]}"
awk -v m="$maker" -v l="$lamet" 'BEGIN {printf "ratio zbmaker/lame: %.3f\n", m / l}'
