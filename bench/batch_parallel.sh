#!/usr/bin/env bash
# Wall time of `zbmaker --batch --jobs 2` against `xargs -P2 lame` at the same settings
# (MPEG-1, 128 kbit/s, stereo, fast mode = lame -b 128 -m s -q 7) on 100 synthesized
# ten-second WAV files. Runs alternate between the two; prints the medians, their ratio
# (at most 1.05 passes) and the load of the machine before and after; then checks that
# --jobs 1 writes byte for byte the files --jobs 2 wrote. Use a Release build:
#   ZIMBAR_BUILD_DIR=build-release bench/batch_parallel.sh
# RUNS (default 3) and FILES (default 100) change the counts.
set -euo pipefail
runs=${RUNS:-3}
files=${FILES:-100}
. "$(dirname "$0")/maker_bench.sh"

mkdir -p "$work/in" "$work/lame" "$work/one"
# Each file its own pair of sweeps over a little noise, so that no two encode alike.
sox -q -n -r 44100 -c 2 -b 16 "$work/noise.wav" synth 10 pinknoise vol 0.05
names=()
for i in $(seq -w 1 "$files"); do
  n=$((10#$i))
  sox -q -n -r 44100 -c 2 -b 16 "$work/tones.wav" synth 10 sine $((200 + n * 3))-$((700 + n * 5)) \
    sine $((300 + n * 2))-$((500 + n * 7)) vol 0.4
  sox -q -m "$work/tones.wav" "$work/noise.wav" "$work/in/f$i.wav"
  names+=("f$i")
done
rm -f "$work/tones.wav" "$work/noise.wav"
wavs=()
for name in "${names[@]}"; do wavs+=("$work/in/$name.wav"); done

load_before=$(uptime)
maker_times=()
lame_times=()
for r in $(seq "$runs"); do
  t0=$(seconds)
  "$bin/zbmaker" --batch --jobs 2 --yes -stereo -128 "${wavs[@]}" >/dev/null
  t1=$(seconds)
  printf '%s\n' "${names[@]}" |
    xargs -P2 -I{} lame --quiet -b 128 -m s -q 7 "$work/in/{}.wav" "$work/lame/{}.mp3"
  t2=$(seconds)
  maker_times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.3f", b - a}')")
  lame_times+=("$(awk -v a="$t1" -v b="$t2" 'BEGIN {printf "%.3f", b - a}')")
done
load_after=$(uptime)

maker=$(median "${maker_times[@]}")
lamet=$(median "${lame_times[@]}")
bytes() { cat "$@" | wc -c; }
printf 'files: %d x 10 s; load before: %s\n' "$files" "${load_before#*load average: }"
printf 'zbmaker --batch --jobs 2: median %.3f s over %d runs (%s), %d bytes\n' "$maker" "$runs" \
  "${maker_times[*]}" "$(bytes "$work"/in/*.mp3)"
printf 'xargs -P2 lame:           median %.3f s over %d runs (%s), %d bytes\n' "$lamet" "$runs" \
  "${lame_times[*]}" "$(bytes "$work"/lame/*.mp3)"
printf 'load after: %s\n' "${load_after#*load average: }"
ratio=$(awk -v m="$maker" -v l="$lamet" 'BEGIN {printf "%.3f", m / l}')
status=0
if awk -v r="$ratio" 'BEGIN {exit !(r <= 1.05)}'; then
  echo "ratio zbmaker/lame: $ratio (at most 1.05: pass)"
else
  echo "ratio zbmaker/lame: $ratio (at most 1.05: FAIL)"
  status=1
fi

# The files of --jobs 2 (the last run) beside those of one job at a time.
for name in "${names[@]}"; do mv "$work/in/$name.mp3" "$work/one/$name.mp3"; done
"$bin/zbmaker" --batch --jobs 1 -stereo -128 "${wavs[@]}" >/dev/null
differ=0
for name in "${names[@]}"; do cmp -s "$work/in/$name.mp3" "$work/one/$name.mp3" || differ=$((differ + 1)); done
if [ "$differ" -eq 0 ]; then
  echo "--jobs 1 and --jobs 2: all $files files byte-identical"
else
  echo "--jobs 1 and --jobs 2: $differ of $files files differ"
  status=1
fi
exit "$status"
