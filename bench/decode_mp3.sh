#!/usr/bin/env bash
# CPU cost of `zbmaker --batch --mp32wav` against `mpg123 -w` on synthesized stereo MP3s
# (lame -b 128) of 3 and LONG_MINUTES (20) minutes. Each round runs the four cases in turn
# (ours and mpg123 on the short file, then on the long one), so that other load on the
# machine falls on all alike; the figures are medians over RUNS rounds of user + system CPU
# time. The 3-minute ratio includes each program's start-up; the steady-state ratio
# compares the long run less the short one, which leaves the start-up out. Each run writes
# a new WAV (the earlier one is removed first): replacing an existing WAV also syncs the new
# file to disk before it takes the old one's place, which mpg123 does not do.
# Then checks that both WAVs hold the same samples. Use a Release build:
#   ZIMBAR_BUILD_DIR=build bench/decode_mp3.sh        (RUNS=5 LONG_MINUTES=20 by default)
set -euo pipefail
runs=${RUNS:-5}
long_minutes=${LONG_MINUTES:-20}
. "$(dirname "$0")/maker_bench.sh"

synth_music "$work/source.wav"
lame --quiet -b 128 "$work/source.wav" "$work/short.mp3"
# The long file: the 3-minute signal over and over.
repeats=$(((long_minutes * 60 + 179) / 180))
sox_inputs=()
for _ in $(seq "$repeats"); do sox_inputs+=("$work/source.wav"); done
sox -q "${sox_inputs[@]}" "$work/long.wav" trim 0 $((long_minutes * 60))
lame --quiet -b 128 "$work/long.wav" "$work/long.mp3"
rm -f "$work/source.wav" "$work/long.wav"

# User + system CPU seconds of a command.
cpu_of() {
  local TIMEFORMAT='%U %S'
  { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{printf "%.3f", $1 + $2}'
}

declare -A cpu
for i in $(seq "$runs"); do
  for length in short long; do
    rm -f "$work/$length.wav"
    cpu[ours_$length]+="$(cpu_of "$bin/zbmaker" --batch --yes --mp32wav "$work/$length.mp3") "
    rm -f "$work/mpg123_$length.wav"
    cpu[mpg123_$length]+="$(cpu_of mpg123 -q -w "$work/mpg123_$length.wav" "$work/$length.mp3") "
  done
  echo "round $i of $runs done" >&2
done

# shellcheck disable=SC2086
{
  ours_short=$(median ${cpu[ours_short]})
  ours_long=$(median ${cpu[ours_long]})
  mpg_short=$(median ${cpu[mpg123_short]})
  mpg_long=$(median ${cpu[mpg123_long]})
}
printf 'CPU seconds, medians of %d rounds (user + system)\n' "$runs"
printf '%-18s %10s %10s %14s\n' "" "3 min" "$long_minutes min" "steady part"
awk -v s="$ours_short" -v l="$ours_long" 'BEGIN {printf "%-18s %10.3f %10.3f %14.3f\n", "zbmaker --batch", s, l, l - s}'
awk -v s="$mpg_short" -v l="$mpg_long" 'BEGIN {printf "%-18s %10.3f %10.3f %14.3f\n", "mpg123 -w", s, l, l - s}'
awk -v os="$ours_short" -v ol="$ours_long" -v ms="$mpg_short" -v ml="$mpg_long" -v m="$long_minutes" 'BEGIN {
  printf "ratio zbmaker/mpg123, 3-minute run: %.3f\n", os / ms
  printf "ratio zbmaker/mpg123, steady state (%d minutes less 3): %.3f\n", m, (ol - os) / (ml - ms) }'
for key in ours_short mpg123_short ours_long mpg123_long; do printf '  %-13s %s\n' "$key" "${cpu[$key]}"; done

# The samples after the headers (which may differ in their chunks) must be the same.
sox "$work/short.wav" -t raw "$work/maker.raw"
sox "$work/mpg123_short.wav" -t raw "$work/mpg123.raw"
if cmp -s "$work/maker.raw" "$work/mpg123.raw"; then
  echo "samples: identical ($(stat -c %s "$work/maker.raw") bytes)"
else
  echo "samples: DIFFER (zbmaker $(stat -c %s "$work/maker.raw") bytes, mpg123 $(stat -c %s "$work/mpg123.raw") bytes)" >&2
  exit 1
fi
