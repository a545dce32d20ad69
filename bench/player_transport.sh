#!/usr/bin/env bash
# How fast the player's transport answers, heard in the sound server: the time from an
# MPRIS Pause and from an MPRIS Stop to silence in the null sink's monitor, and the longest
# silence at the change from one track to the next (two halves of one tone, so any gap is
# silence). Other players are measured the same way on the same sink where they are
# installed (audacious, qmmp; never installed by this script). Use a Release build:
#   bench/player_transport.sh build          (RUNS=3 for a quicker run)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
runs=${RUNS:-5}
cmake --build "$build" --target zbplayer >/dev/null
# shellcheck source=scripts/test-servers.sh
source "$top/scripts/test-servers.sh"
work=$(mktemp -d)
keeper= bus_pid=
cleanup() {
  [ -n "$keeper" ] && kill "$keeper" 2>/dev/null
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null
  zb_servers_stop
  rm -rf "$work"
}
trap cleanup EXIT
zb_servers_start >/dev/null
# A session bus of its own, for the players' MPRIS interfaces.
eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | {
  read -r address
  read -r pid
  echo "export DBUS_SESSION_BUS_ADDRESS='$address'; bus_pid=$pid"
})"
# An idle null sink gives its monitor nearly nothing; zeros keep it running, so the
# recording's sample count is a clock.
pacat -d nullsink --format=s16le --rate=44100 --channels=2 --latency-msec=50 </dev/zero 2>/dev/null &
keeper=$!

# A steady tone for Pause and Stop, and its two halves as two files for the track change
# (split off any buffer grid).
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 12 sine 440 gain -6 2>/dev/null
sox "$work/tone.wav" "$work/first.wav" trim 0 3.3331 2>/dev/null
sox "$work/tone.wav" "$work/second.wav" trim 3.3331 3 2>/dev/null
export ZIMBAR_HOME="$work/home" ZIMBAR_SHARE_DIR="$build/share/zimbar" ZIMBAR_AUDIO_OUT=pulse HOME="$work"

fresh_home() {
  rm -rf "$ZIMBAR_HOME"
  mkdir -p "$ZIMBAR_HOME"
  printf '[Options]\nVersion=65890\n[Player]\nContinuousPlay=1\n' >"$ZIMBAR_HOME/zbplayer.ini"
}

rec="$work/rec.raw"
recorder=
record_start() {
  parec -d nullsink.monitor --format=s16le --rate=44100 --channels=2 --latency-msec=10 >"$rec" &
  recorder=$!
  while [ "$(stat -c %s "$rec")" -lt 17640 ]; do sleep 0.01; done
}
record_stop() {
  kill "$recorder"
  wait "$recorder" 2>/dev/null || true
}
# Waits until the recording holds sound after byte offset $1.
wait_for_sound() {
  local from=$1 i
  for i in $(seq 500); do
    python3 - "$rec" "$from" <<'PY' && return 0
import struct, sys
data = open(sys.argv[1], 'rb').read()
start = int(sys.argv[2]) // 4
for i in range(start, len(data) // 4):
    if abs(struct.unpack_from('<h', data, i * 4)[0]) > 300:
        sys.exit(0)
sys.exit(1)
PY
    sleep 0.02
  done
  return 1
}
# Milliseconds from byte offset $1 of the recording to the start of the silence that
# lasts to its end.
to_silence() {
  python3 - "$rec" "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
start = int(sys.argv[2]) // 4
last = start
for i in range(start, len(data) // 4):
    if abs(struct.unpack_from('<h', data, i * 4)[0]) > 300:
        last = i + 1
print('%.0f' % ((last - start) * 1000.0 / 44100))
PY
}
# The longest silence between the first and the last sound of the recording, in ms.
longest_gap() {
  python3 - "$rec" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
n = len(data) // 4
loud = [i for i in range(n) if abs(struct.unpack_from('<h', data, i * 4)[0]) > 300]
if not loud:
    print('-1')
    sys.exit()
# A sine crosses zero: silence is a run of quiet samples longer than a half period.
longest = 0
for a, b in zip(loud, loud[1:]):
    longest = max(longest, b - a - 1)
print('%.1f' % (longest * 1000.0 / 44100 if longest > 60 else 0.0))
PY
}
mpris() {  # SERVICE METHOD
  dbus-send --session --type=method_call --dest="$1" /org/mpris/MediaPlayer2 "org.mpris.MediaPlayer2.Player.$2" \
    >/dev/null 2>&1
}
wait_for_service() {
  local i
  for i in $(seq 200); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q true && return 0
    sleep 0.05
  done
  return 1
}

# One measurement: starts the player on the files, waits for sound, sends the MPRIS
# method (Pause or Stop) 1.5 s into it, and prints the time to silence; "track" prints the
# longest gap of the whole play instead.
measure() {  # SERVICE WHAT COMMAND...
  local service=$1 what=$2
  shift 2
  fresh_home
  record_start
  local at pid
  at=$(stat -c %s "$rec")
  "$@" >/dev/null 2>&1 &
  pid=$!
  if ! wait_for_service "$service" || ! wait_for_sound "$at"; then
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null || true
    record_stop
    echo -1
    return
  fi
  if [ "$what" = track ]; then
    sleep 7.5  # both halves play out
  else
    sleep 1.5
    at=$(stat -c %s "$rec")
    mpris "$service" "$what"
    sleep 2.5
  fi
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null || true
  record_stop
  if [ "$what" = track ]; then longest_gap; else to_silence "$at"; fi
}

median() {  # NAME WHAT UNIT SERVICE COMMAND...
  local name=$1 what=$2 unit=$3
  shift 3
  local values=()
  for _ in $(seq "$runs"); do values+=("$(measure "$@")"); done
  printf '%s\n' "${values[@]}" | sort -n | awk -v n="$name" -v w="$what" -v u="$unit" \
    '{v[NR] = $1} END {printf "%-10s %-22s median %s %s (runs:", n, w, v[int((NR + 1) / 2)], u; for (i = 1; i <= NR; i++) printf " %s", v[i]; print ")"}'
}

player_rows() {  # NAME SERVICE COMMAND... (the command is given the files)
  local name=$1 service=$2
  shift 2
  median "$name" "Pause to silence" ms "$service" Pause "$@" "$work/tone.wav"
  median "$name" "Stop to silence" ms "$service" Stop "$@" "$work/tone.wav"
  median "$name" "track-change gap" ms "$service" track "$@" "$work/first.wav" "$work/second.wav"
}

echo "bench/player_transport.sh: PulseAudio null sink, $runs runs each; a tone of 440 Hz, split in two for the change"
player_rows zbplayer org.mpris.MediaPlayer2.zbplayer "$build/bin/zbplayer"
for other in audacious qmmp; do
  if ! command -v "$other" >/dev/null; then
    echo "$other: not installed"
    continue
  fi
  player_rows "$other" "org.mpris.MediaPlayer2.$other" "$other"
done
