#!/usr/bin/env bash
# The whole running player: CPU use of zbplayer (window, visualization, engine) playing a
# 3-minute MP3 into the sound server's null sink under a private X server, and the time
# from starting the program to its first sound in the sink; mpg123 playing the same file
# into the same sink beside it. Then the player's CPU with each of its outputs: the paced
# null output (ZIMBAR_AUDIO_OUT=null, which must cost no more than a real device) beside the
# PulseAudio output into the null sink, alternated over ROUNDS rounds, medians. Use a
# Release build:
#   bench/player.sh build            (SECONDS_PLAYED=60 ROUNDS=3 bench/player.sh build for a
#                                     quick run; ROUNDS=0 leaves the output comparison out)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
played=${SECONDS_PLAYED:-180}
rounds=${ROUNDS:-3}
cmake --build "$build" --target zbplayer >/dev/null
# shellcheck source=scripts/test-servers.sh
source "$top/scripts/test-servers.sh"
work=$(mktemp -d)
keeper=
cleanup() {
  [ -n "$keeper" ] && kill "$keeper" 2>/dev/null
  zb_servers_stop
  rm -rf "$work"
}
trap cleanup EXIT
zb_servers_start >/dev/null
# An idle null sink gives its monitor nearly nothing; zeros keep it running, so the
# recording's sample count is a clock.
pacat -d nullsink --format=s16le --rate=44100 --channels=2 --latency-msec=50 </dev/zero &
keeper=$!

sox -n -r 44100 -c 2 -b 16 "$work/song.wav" synth 180 sine 220-880 sine 330 tremolo 3 40 gain -6 2>/dev/null
lame --quiet -b 128 "$work/song.wav" "$work/song.mp3"
export ZIMBAR_HOME="$work/home" ZIMBAR_SHARE_DIR="$build/share/zimbar" ZIMBAR_AUDIO_OUT=pulse HOME="$work"
mkdir -p "$ZIMBAR_HOME"
printf '[Options]\nVersion=65890\n' >"$ZIMBAR_HOME/zbplayer.ini"

ticks=$(getconf CLK_TCK)
cpu_of() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# CPU seconds of COMMAND from 5 s after its start (start-up not counted) for the rest of
# the song.
cpu_seconds() {  # COMMAND...
  "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep 5
  local before
  before=$(cpu_of "$pid")
  sleep $((played - 10))
  local after
  after=$(cpu_of "$pid")
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null || true
  awk -v b="$before" -v a="$after" -v t="$ticks" 'BEGIN {printf "%.2f\n", (a - b) / t}'
}

cpu_run() {  # NAME COMMAND...
  local name=$1
  shift
  awk -v n="$name" -v c="$(cpu_seconds "$@")" -v s=$((played - 10)) \
    'BEGIN {printf "%-8s CPU %.2f %% of one core while playing (%.2f s in %d s)\n", n, c * 100 / s, c, s}'
}

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

# The player with the null output beside the player with the PulseAudio output, each round
# in turn, so that other load on the machine falls on both alike.
compare_outputs() {
  local null=() pulse=() round
  for round in $(seq "$rounds"); do
    pulse+=("$(cpu_seconds env ZIMBAR_AUDIO_OUT=pulse "$build/bin/zbplayer" "$work/song.mp3")")
    null+=("$(cpu_seconds env ZIMBAR_AUDIO_OUT=null "$build/bin/zbplayer" "$work/song.mp3")")
  done
  local n p
  n=$(median "${null[@]}")
  p=$(median "${pulse[@]}")
  awk -v n="$n" -v p="$p" -v s=$((played - 10)) -v r="$rounds" 'BEGIN {
    printf "zbplayer by output, median of %d rounds of %d s:\n", r, s
    printf "  pulse  %.2f CPU s per minute of playback\n", p * 60 / s
    printf "  null   %.2f CPU s per minute of playback (%.2f x pulse)\n", n * 60 / s, (p > 0 ? n / p : 0) }'
  echo "  CPU s per run: pulse ${pulse[*]}; null ${null[*]}"
}

# Start to first sound: the recording's sample count when the program starts, and the
# first sample above silence after it.
first_sound() {  # COMMAND...
  local rec="$work/rec.raw"
  parec -d nullsink.monitor --format=s16le --rate=44100 --channels=2 --latency-msec=10 >"$rec" &
  local recorder=$!
  while [ "$(stat -c %s "$rec")" -lt 88200 ]; do sleep 0.01; done
  local at
  at=$(stat -c %s "$rec")
  "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep 2
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null || true
  kill "$recorder"
  wait "$recorder" 2>/dev/null || true
  python3 - "$rec" "$at" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
start = int(sys.argv[2]) // 4
for i in range(start, len(data) // 4):
    left, = struct.unpack_from('<h', data, i * 4)
    if abs(left) > 300:
        print('%.0f' % ((i - start) * 1000.0 / 44100))
        break
else:
    print('-1')
PY
}

median_first_sound() {  # NAME COMMAND...
  local name=$1
  shift
  local runs=()
  for _ in 1 2 3 4 5; do
    rm -f "$ZIMBAR_HOME/zbplayerdef.pls"
    runs+=("$(first_sound "$@")")
  done
  printf '%s\n' "${runs[@]}" | sort -n | awk -v n="$name" \
    '{v[NR] = $1} END {printf "%-8s start to first sound: median %d ms (runs:", n, v[int((NR + 1) / 2)]; for (i = 1; i <= NR; i++) printf " %d", v[i]; print ")"}'
}

echo "bench/player.sh: a $played-second stretch of a 3-minute 128 kbit/s MP3 into the null sink"
cpu_run zbplayer "$build/bin/zbplayer" "$work/song.mp3"
cpu_run mpg123 mpg123 -q -o pulse "$work/song.mp3"
median_first_sound zbplayer "$build/bin/zbplayer" "$work/song.mp3"
median_first_sound mpg123 mpg123 -q -o pulse "$work/song.mp3"
if [ "$rounds" -gt 0 ]; then compare_outputs; fi
