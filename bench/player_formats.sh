#!/usr/bin/env bash
# Playback cost of the player's media engine per format, beside mpv and ffplay on the same
# files and the same sound server.
#
# A synthesized song of LENGTH seconds (tones and pink noise, 44.1 kHz stereo) is encoded
# to FLAC (flac), Ogg Vorbis (oggenc -q 5), Opus (opusenc, 128 kbit/s) and M4A (ffmpeg's
# aac encoder, 160 kbit/s). Each file is played to its end
#   - by zbplayer's engine: TSoundPlayer on the player's Qt main loop with the window's
#     handlers set (bench/playback_bench.cpp), through the pulse output;
#   - by `mpv --no-video --ao=pulse`;
#   - by `ffplay -nodisp -autoexit` (SDL's pulseaudio driver);
# all into the null sink of a private PulseAudio daemon (scripts/test-servers.sh), so each
# is held back by the same server clock. Without a sound server the engine plays through
# its paced null output and the references through their null outputs (mpv --ao=null,
# ffplay with SDL's dummy driver), which do not pace alike: a guide only.
# CPU is user + system time of the whole process (every thread): for the engine from Open
# to the end of playback, for mpv and ffplay from their start to their exit (start-up
# included). The server's own CPU is counted for none of them. Each round runs every case
# once, the references first, so the load of other work on the machine falls on all of
# them alike; the table gives medians over RUNS rounds, in CPU seconds per minute of audio.
#
# Use a Release build:
#   bench/player_formats.sh build            RUNS=3 LENGTH=30 by default
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
runs=${RUNS:-3}
length=${LENGTH:-30}
for tool in sox flac oggenc opusenc ffmpeg mpv ffplay; do
  command -v "$tool" >/dev/null || { echo "player_formats: $tool is missing" >&2; exit 1; }
done
cmake --build "$build" --target playback_bench >/dev/null
bench="$build/bin/playback_bench"

work=$(mktemp -d "${TMPDIR:-/tmp}/zimbar-bench.XXXXXX")
# shellcheck source=../scripts/test-servers.sh
. "$top/scripts/test-servers.sh"
trap 'zb_servers_stop; rm -rf "$work"' EXIT

sox -q -n -r 44100 -c 2 -b 16 "$work/tones.wav" synth "$length" sine 220-880 sine 330-660 vol 0.4
sox -q -n -r 44100 -c 2 -b 16 "$work/noise.wav" synth "$length" pinknoise vol 0.05
sox -q -m "$work/tones.wav" "$work/noise.wav" "$work/song.wav"
flac -s -f -o "$work/song.flac" "$work/song.wav"
oggenc -Q -q 5 -o "$work/song.ogg" "$work/song.wav"
opusenc --quiet --bitrate 128 "$work/song.wav" "$work/song.opus"
ffmpeg -v error -y -i "$work/song.wav" -c:a aac -b:a 160k "$work/song.m4a"

output=pulse
if ! zb_servers_start >"$work/servers.log" 2>&1; then
  output=null
  echo "player_formats: no sound server here ($(tail -1 "$work/servers.log")); null outputs, which do not pace alike" >&2
fi

formats=(FLAC "Ogg Vorbis" Opus M4A)
declare -A files=([FLAC]=song.flac ["Ogg Vorbis"]=song.ogg [Opus]=song.opus [M4A]=song.m4a)
players=(mpv ffplay zbplayer)
declare -A cpu

# Appends the CPU seconds of one run of player $1 on format $2 to the case's list.
run_case() {
  local player=$1 format=$2 file="$work/${files[$2]}" out
  case "$player" in
    mpv) out=$("$bench" run mpv --no-config --no-video --really-quiet "--ao=$output" "$file") ;;
    ffplay)
      local driver=pulseaudio
      [ "$output" = null ] && driver=dummy
      out=$(SDL_AUDIODRIVER=$driver "$bench" run ffplay -nodisp -autoexit -loglevel quiet "$file")
      ;;
    zbplayer) out=$(ZIMBAR_AUDIO_OUT=$output "$bench" play "$file") ;;
  esac
  # playback_bench prints "cpu S s, voluntary switches N, wall W s" last (ffplay writes a
  # line break of its own when it quits); a paced run takes the file's length.
  out=$(tail -n 1 <<<"$out")
  if [ "$output" = pulse ] && ! awk -v l="$length" '{exit !($NF == "s" && $(NF - 1) >= l * 0.98)}' <<<"$out"; then
    echo "player_formats: $player on $format took less than the file's length: $out" >&2
  fi
  cpu["$player/$format"]+="$(sed -E 's/^cpu ([0-9.]+) s.*/\1/' <<<"$out") "
}

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

for round in $(seq "$runs"); do
  for format in "${formats[@]}"; do
    for player in "${players[@]}"; do run_case "$player" "$format"; done
  done
  echo "round $round of $runs done" >&2
done

printf '\n%d rounds of a %d-second file through the %s output; CPU seconds per minute of audio (medians)\n' \
  "$runs" "$length" "$output"
printf '%-12s %10s %10s %10s %12s %12s\n' format zbplayer mpv ffplay "x mpv" "x ffplay"
for format in "${formats[@]}"; do
  # shellcheck disable=SC2086
  z=$(median ${cpu["zbplayer/$format"]})
  # shellcheck disable=SC2086
  m=$(median ${cpu["mpv/$format"]})
  # shellcheck disable=SC2086
  f=$(median ${cpu["ffplay/$format"]})
  awk -v n="$format" -v z="$z" -v m="$m" -v f="$f" -v s="$length" \
    'BEGIN {printf "%-12s %10.3f %10.3f %10.3f %12.2f %12.2f\n", n, z * 60 / s, m * 60 / s, f * 60 / s, z / m, z / f}'
done
for format in "${formats[@]}"; do
  for player in "${players[@]}"; do
    printf '  %-10s %-10s cpu s per run: %s\n' "$format" "$player" "${cpu["$player/$format"]}"
  done
done
