#!/usr/bin/env bash
# A 60-minute disc image (12 synthesized five-minute tracks, .cue/.bin) ripped to MP3 and
# to AAC by `zbmaker --batch --cd2mp3` with one encoder (--jobs 1) and with two (--jobs 2).
# Runs alternate between the two; prints for each the median wall time and the CPU time
# of the process tree (user + system) over RUNS runs (default 3), the ratio two/one of the
# wall times (target at most 0.6 on two cores), the load before and after, and checks with
# cmp that both write byte for byte the same files. Use a Release build:
#   ZIMBAR_BUILD_DIR=build bench/cd_rip.sh
# TRACKS (default 12) and TRACK_SECONDS (default 300) change the disc, FORMATS (default
# "mp3 aac") the formats.
set -euo pipefail
runs=${RUNS:-3}
formats=${FORMATS:-mp3 aac}
tracks=${TRACKS:-12}
track_seconds=${TRACK_SECONDS:-300}
. "$(dirname "$0")/maker_bench.sh"

# Each track its own pair of sweeps over a little noise, so that no two encode alike; raw
# 16-bit little-endian stereo at 44.1 kHz, one after another in disc.bin.
sox -q -n -r 44100 -c 2 -b 16 -e signed-integer -L -t raw "$work/noise.raw" synth "$track_seconds" pinknoise vol 0.05
: >"$work/disc.bin"
{
  echo 'FILE "disc.bin" BINARY'
  sectors=0
  for n in $(seq 1 "$tracks"); do
    sox -q -n -r 44100 -c 2 -b 16 -e signed-integer -L -t raw "$work/tones.raw" synth "$track_seconds" \
      sine $((200 + n * 13))-$((700 + n * 17)) sine $((300 + n * 11))-$((500 + n * 19)) vol 0.4
    sox -q -m -r 44100 -c 2 -b 16 -e signed-integer -L -t raw "$work/tones.raw" \
      -r 44100 -c 2 -b 16 -e signed-integer -L -t raw "$work/noise.raw" \
      -r 44100 -c 2 -b 16 -e signed-integer -L -t raw "$work/track.raw"
    cat "$work/track.raw" >>"$work/disc.bin"
    printf '  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n' "$n" $((sectors / 4500)) $((sectors / 75 % 60)) \
      $((sectors % 75))
    sectors=$((sectors + $(stat -c %s "$work/track.raw") / 2352))
  done
} >"$work/disc.cue"
rm -f "$work/noise.raw" "$work/tones.raw" "$work/track.raw"
minutes=$(awk -v b="$(stat -c %s "$work/disc.bin")" 'BEGIN {printf "%.1f", b / 176400 / 60}')

# One run: wall seconds and CPU seconds of the process tree, as "WALL CPU".
rip() {
  local out=$1
  shift
  rm -rf "$out"
  local t0 t1
  t0=$(seconds)
  /usr/bin/time -f '%U %S' -o "$work/cpu.txt" "$bin/zbmaker" --batch --cd2mp3 --no-accuraterip --yes \
    --cd-image "$work/disc.cue" --output "$out" "$@" >/dev/null
  t1=$(seconds)
  awk -v a="$t0" -v b="$t1" -v cpu="$(cat "$work/cpu.txt")" 'BEGIN {split(cpu, c, " "); printf "%.3f %.3f\n", b - a, c[1] + c[2]}'
}

status=0
printf 'disc: %d tracks, %s minutes; load before: %s\n' "$tracks" "$minutes" "$(uptime | sed 's/.*load average: //')"
for format in $formats; do
  options=(-stereo -128)
  [ "$format" = aac ] && options=(--aac)
  one_wall=() one_cpu=() two_wall=() two_cpu=()
  for r in $(seq "$runs"); do
    read -r w c < <(rip "$work/one" --jobs 1 "${options[@]}")
    one_wall+=("$w") one_cpu+=("$c")
    read -r w c < <(rip "$work/two" --jobs 2 "${options[@]}")
    two_wall+=("$w") two_cpu+=("$c")
  done
  one=$(median "${one_wall[@]}")
  two=$(median "${two_wall[@]}")
  printf '%s, --jobs 1: wall median %.3f s (%s), CPU median %.3f s\n' "$format" "$one" "${one_wall[*]}" \
    "$(median "${one_cpu[@]}")"
  printf '%s, --jobs 2: wall median %.3f s (%s), CPU median %.3f s\n' "$format" "$two" "${two_wall[*]}" \
    "$(median "${two_cpu[@]}")"
  ratio=$(awk -v a="$two" -v b="$one" 'BEGIN {printf "%.3f", a / b}')
  if awk -v r="$ratio" 'BEGIN {exit !(r <= 0.6)}'; then
    echo "$format: wall two/one $ratio (at most 0.6: pass)"
  else
    echo "$format: wall two/one $ratio (at most 0.6: FAIL)"
    status=1
  fi
  differ=0
  for file in "$work"/one/*."$format"; do
    cmp -s "$file" "$work/two/$(basename "$file")" || differ=$((differ + 1))
  done
  count=$(find "$work/one" -name "*.$format" | wc -l)
  if [ "$differ" -eq 0 ] && [ "$count" -eq "$tracks" ]; then
    echo "$format: all $count files byte-identical with one and with two encoders"
  else
    echo "$format: $differ of $count files differ (expected $tracks files)"
    status=1
  fi
done
printf 'load after: %s\n' "$(uptime | sed 's/.*load average: //')"
exit "$status"
