#!/usr/bin/env bash
# Playback cost and start-up time of the player's engines, beside mpg123 on the same MP3.
#
# CPU: a synthesized MP3, WAV and AAC file of LENGTH seconds, each played to its end
# through TSoundPlayer on the player's Qt main loop (bench/playback_bench.cpp): the MP3
# through the paced null output and through the pulse output, the WAV and AAC files
# through the null output; beside `mpg123 -o pulse` on the same MP3, all on a private
# PulseAudio daemon with a null sink (scripts/test-servers.sh). Without a sound server the
# reference is `mpg123 -o dummy`, which does not pace, and the pulse runs are left out.
# Each round runs every case once, the reference first, so that the load of other work on
# the machine falls on all of them alike; the table gives medians over RUNS rounds.
# Our CPU is user + system time of the whole process (every thread) from Open to the end
# of playback; mpg123's is that of its whole process (start-up included).
# The like-for-like pair is "MP3, pulse output" beside `mpg123 -o pulse`: both decode the
# same file in one process, play it through libout123's pulse module to the same server
# and are held back by that server's clock, so the difference is the engine's own work
# (the server's CPU is counted for neither). mpg123 has no paced output without a server:
# its dummy module takes audio as fast as it comes, so it never waits and never wakes.
# The null-output rows pace like a device but wake at their own rhythm; beside mpg123
# they are a guide, not a match.
#
# Start-up: the time from Play (and from Open) to the first buffer handed to the output,
# over FIRST_RUNS plays of each file on the null and the pulse output.
#
# Use a Release build:
#   bench/playback.sh build            RUNS=5 LENGTH=30 FIRST_RUNS=9 by default
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
runs=${RUNS:-5}
length=${LENGTH:-30}
first_runs=${FIRST_RUNS:-9}
cmake --build "$build" --target playback_bench zbaaclib zbdsound >/dev/null
bench="$build/bin/playback_bench"

work=$(mktemp -d "${TMPDIR:-/tmp}/zimbar-bench.XXXXXX")
# shellcheck source=../scripts/test-servers.sh
. "$top/scripts/test-servers.sh"
trap 'zb_servers_stop; rm -rf "$work"' EXIT

sox -q -n -r 44100 -c 2 -b 16 "$work/tones.wav" synth "$length" sine 220-880 sine 330-660 vol 0.4
sox -q -n -r 44100 -c 2 -b 16 "$work/noise.wav" synth "$length" pinknoise vol 0.05
sox -q -m "$work/tones.wav" "$work/noise.wav" "$work/song.wav"
lame --quiet -b 128 "$work/song.wav" "$work/song.mp3"
ffmpeg -v error -y -i "$work/song.wav" -c:a aac -b:a 128k -f adts "$work/song.aac"

reference=dummy
if zb_servers_start >"$work/servers.log" 2>&1; then
  reference=pulse
else
  echo "playback: no sound server here ($(tail -1 "$work/servers.log")); mpg123 -o dummy does not pace" >&2
fi

cases=("mpg123 -o $reference" "MP3, null output" "WAV, null output" "AAC, null output")
[ "$reference" = pulse ] && cases+=("MP3, pulse output")
declare -A cpu switches

# Appends "cpu switches" of one run of case $1 to the case's lists.
run_case() {
  local name=$1 out
  case "$name" in
    mpg123*) out=$("$bench" run mpg123 -q -o "$reference" "$work/song.mp3") ;;
    "MP3, null output") out=$(ZIMBAR_AUDIO_OUT=null "$bench" play "$work/song.mp3") ;;
    "MP3, pulse output") out=$(ZIMBAR_AUDIO_OUT=pulse "$bench" play "$work/song.mp3") ;;
    "WAV, null output") out=$(ZIMBAR_AUDIO_OUT=null "$bench" play "$work/song.wav") ;;
    "AAC, null output") out=$(ZIMBAR_AUDIO_OUT=null "$bench" play "$work/song.aac") ;;
  esac
  # playback_bench prints "cpu S s, voluntary switches N, wall W s"; a paced run takes
  # the file's length.
  if ! awk -v l="$length" '{exit !($NF == "s" && $(NF - 1) >= l * 0.98)}' <<<"$out" && [ "$name" != "mpg123 -o dummy" ]; then
    echo "playback: $name took less than the file's length: $out" >&2
  fi
  out=$(sed -E 's/^cpu ([0-9.]+) s, voluntary switches ([0-9]+).*/\1 \2/' <<<"$out")
  cpu[$name]+="${out% *} "
  switches[$name]+="${out#* } "
}

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

for round in $(seq "$runs"); do
  for name in "${cases[@]}"; do run_case "$name"; done
  echo "round $round of $runs done" >&2
done

printf '\n%d rounds of a %d-second file; medians\n' "$runs" "$length"
printf '%-22s %14s %12s %14s %10s\n' "case" "cpu s/min" "% of a core" "wake-ups/s" "x mpg123"
ref_cpu=$(median ${cpu["${cases[0]}"]})
for name in "${cases[@]}"; do
  # shellcheck disable=SC2086
  c=$(median ${cpu[$name]})
  # shellcheck disable=SC2086
  w=$(median ${switches[$name]})
  awk -v n="$name" -v c="$c" -v w="$w" -v s="$length" -v r="$ref_cpu" \
    'BEGIN {printf "%-22s %14.3f %12.2f %14.1f %10.2f\n", n, c * 60 / s, c * 100 / s, w / s, c / r}'
done
for name in "${cases[@]}"; do printf '  %-20s cpu s per run: %s\n' "$name" "${cpu[$name]}"; done

printf '\nPlay to the first buffer handed to the output, %d plays each\n' "$first_runs"
outputs=(null)
[ "$reference" = pulse ] && outputs+=(pulse)
for out in "${outputs[@]}"; do
  for file in song.mp3 song.wav song.aac; do
    printf '%-9s %-6s %s\n' "$file" "$out" "$(ZIMBAR_AUDIO_OUT=$out "$bench" first-sample "$work/$file" "$first_runs")"
  done
done
