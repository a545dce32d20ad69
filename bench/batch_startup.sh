#!/usr/bin/env bash
# What a terminal run of zbmaker pays before and besides its work:
#  1. wall-clock time of `zbmaker --batch --version` beside `lame --version`, median of
#     21 runs each, alternating (target: at most 1.5 times lame's);
#  2. CPU time (user + system) of `zbmaker --batch --mp32wav` on a 3-minute MP3 beside
#     `mpg123 -w` on the same file, median of RUNS (default 11) runs each, alternating
#     (target: at most 1.1 times mpg123's). The MP3 is lame's encoding of a synthesized
#     signal.
# Use a Release build (no sanitizers):
#   ZIMBAR_BUILD_DIR=build bench/batch_startup.sh
set -euo pipefail
runs=${RUNS:-11}
. "$(dirname "$0")/maker_bench.sh"

# Milliseconds of wall-clock time of one run of the command, its output dropped, from the
# shell's own clock (no process started to read the time).
wall_ms() {
  local start=$EPOCHREALTIME end
  "$@" >/dev/null 2>&1
  end=$EPOCHREALTIME
  awk -v a="$start" -v b="$end" 'BEGIN {printf "%.1f\n", (b - a) * 1000}'
}

# Milliseconds of CPU time (user + system, of the command and its children) of one run,
# from the shell's own clock of the run (getrusage, millisecond resolution).
cpu_ms() {
  local TIMEFORMAT='%3U %3S' times
  times=$( { time "$@" >/dev/null 2>&1; } 2>&1 )
  awk -v t="$times" 'BEGIN {split(t, p, " "); printf "%d\n", (p[1] + p[2]) * 1000 + 0.5}'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", (b > 0 ? a / b : 0)}'; }

# 1. Start-up. One run of each first, so that both come from a warm page cache.
wall_ms "$bin/zbmaker" --batch --version >/dev/null
wall_ms lame --version >/dev/null
maker_start=()
lame_start=()
for _ in $(seq 21); do
  maker_start+=("$(wall_ms "$bin/zbmaker" --batch --version)")
  lame_start+=("$(wall_ms lame --version)")
done
m=$(median "${maker_start[@]}")
l=$(median "${lame_start[@]}")
echo "zbmaker --batch --version: median ${m} ms of 21 runs (${maker_start[*]})"
echo "lame --version:            median ${l} ms of 21 runs (${lame_start[*]})"
echo "ratio: $(ratio "$m" "$l") (target: at most 1.5)"

# 2. A 3-minute MP3 to WAV. The maker writes song.wav beside the MP3 (--yes replaces the
# previous run's), mpg123 its own file.
synth_music "$work/source.wav"
lame --quiet -b 128 "$work/source.wav" "$work/song.mp3"
rm -f "$work/source.wav"
"$bin/zbmaker" --batch --quiet --yes --mp32wav "$work/song.mp3"
mpg123 -q -w "$work/mpg123.wav" "$work/song.mp3"
maker_cpu=()
mpg123_cpu=()
for _ in $(seq "$runs"); do
  maker_cpu+=("$(cpu_ms "$bin/zbmaker" --batch --quiet --yes --mp32wav "$work/song.mp3")")
  mpg123_cpu+=("$(cpu_ms mpg123 -q -w "$work/mpg123.wav" "$work/song.mp3")")
done
m=$(median "${maker_cpu[@]}")
p=$(median "${mpg123_cpu[@]}")
echo "zbmaker --batch --mp32wav: median ${m} ms CPU of $runs runs (${maker_cpu[*]})"
echo "mpg123 -w:                 median ${p} ms CPU of $runs runs (${mpg123_cpu[*]})"
echo "ratio: $(ratio "$m" "$p") (target: at most 1.1)"
# The WAV must hold what the reference decoder made, or the run did not do the work.
sox "$work/song.wav" -t raw "$work/maker.raw"
sox "$work/mpg123.wav" -t raw "$work/mpg123.raw"
cmp -s "$work/maker.raw" "$work/mpg123.raw" || { echo "samples: the two WAVs DIFFER" >&2; exit 1; }
echo "samples: identical"
