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

# Runs the shell functions $3 and $4 $1 times each, alternating, each run measured by $2
# (wall_ms or cpu_ms); prints each one's median and runs under the labels $5 and $6 with
# the unit $7, then the ratio of the medians beside the limit $8.
compare() {
  local count=$1 measure=$2 first=$3 second=$4 firsts=() others=()
  for _ in $(seq "$count"); do
    firsts+=("$("$measure" "$first")")
    others+=("$("$measure" "$second")")
  done
  local a b
  a=$(median "${firsts[@]}")
  b=$(median "${others[@]}")
  printf '%-27s median %s %s of %d runs (%s)\n' "$5:" "$a" "$7" "$count" "${firsts[*]}"
  printf '%-27s median %s %s of %d runs (%s)\n' "$6:" "$b" "$7" "$count" "${others[*]}"
  echo "ratio: $(ratio "$a" "$b") (target: at most $8)"
}

# 1. Start-up. One run of each first, so that both come from a warm page cache.
maker_version() { "$bin/zbmaker" --batch --version; }
lame_version() { lame --version; }
wall_ms maker_version >/dev/null
wall_ms lame_version >/dev/null
compare 21 wall_ms maker_version lame_version "zbmaker --batch --version" "lame --version" ms 1.5

# 2. A 3-minute MP3 to WAV. The maker writes song.wav beside the MP3 (--yes replaces the
# previous run's), mpg123 its own file.
synth_music "$work/source.wav"
lame --quiet -b 128 "$work/source.wav" "$work/song.mp3"
rm -f "$work/source.wav"
maker_decode() { "$bin/zbmaker" --batch --quiet --yes --mp32wav "$work/song.mp3"; }
mpg123_decode() { mpg123 -q -w "$work/mpg123.wav" "$work/song.mp3"; }
maker_decode
mpg123_decode
compare "$runs" cpu_ms maker_decode mpg123_decode "zbmaker --batch --mp32wav" "mpg123 -w" "ms CPU" 1.1
# The WAV must hold what the reference decoder made, or the run did not do the work.
sox "$work/song.wav" -t raw "$work/maker.raw"
sox "$work/mpg123.wav" -t raw "$work/mpg123.raw"
cmp -s "$work/maker.raw" "$work/mpg123.raw" || { echo "samples: the two WAVs DIFFER" >&2; exit 1; }
echo "samples: identical"
