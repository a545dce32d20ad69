#!/usr/bin/env bash
# Takes the screenshots of the player's windows under a private X server into
# docs/screenshots/: the skin previews of every shipped skin (SKIN-main.png, SKIN-eq.png),
# then zbplayer itself playing a short list (player-main.png, player-eq.png,
# player-playlist.png, player-id3.png).
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default: build-test, then build)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-}
if [ -z "$build" ]; then
  for candidate in "$top/build-test" "$top/build"; do
    [ -x "$candidate/bin/zbskinview" ] && [ -x "$candidate/bin/zbplayer" ] && build=$candidate && break
  done
fi
if [ -z "$build" ] || [ ! -x "$build/bin/zbskinview" ] || [ ! -x "$build/bin/zbplayer" ]; then
  echo "screenshots: zbskinview and zbplayer are not built (cmake --build BUILD --target zbskinview zbplayer)" >&2
  exit 1
fi
# shellcheck source=scripts/test-servers.sh
source "$top/scripts/test-servers.sh"
trap zb_servers_stop EXIT
zb_servers_start >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/zimbar-shots.XXXXXX")
# The preview reads and writes settings: keep them away from the user's own.
export ZIMBAR_HOME="$work/home"
export ASAN_OPTIONS=detect_leaks=0
out="$top/docs/screenshots"
mkdir -p "$out"
for skin in "$top"/skins/*/; do
  name=$(basename "$skin")
  "$build/bin/zbskinview" --skin "$skin" --at 40,40 --demo --screenshot "$work/$name" 2>/dev/null
  cp "$work/$name/main.png" "$out/$name-main.png"
  cp "$work/$name/eq.png" "$out/$name-eq.png"
  echo "screenshots: $out/$name-main.png $out/$name-eq.png"
done

# The player with a list of four tagged songs, the first one playing (into the paced null
# output, so the visualization moves), the equalizer open with a curve on it.
music="$work/Music"
mkdir -p "$music" "$work/player"
song() {  # FILE SECONDS TONE TITLE ARTIST ALBUM YEAR
  sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth "$2" sine "$3" sine mix $(( $3 * 3 / 2 )) tremolo 2 60 gain -9 2>/dev/null
  case "$1" in
    *.flac) flac -s -f -T "TITLE=$4" -T "ARTIST=$5" -T "ALBUM=$6" -T "DATE=$7" -o "$music/$1" "$work/tone.wav" ;;
    *.opus) opusenc --quiet --title "$4" --artist "$5" --album "$6" --date "$7" "$work/tone.wav" "$music/$1" ;;
    *.m4a) ffmpeg -v error -y -i "$work/tone.wav" -c:a aac -b:a 160k -metadata title="$4" -metadata artist="$5" \
             -metadata album="$6" -metadata date="$7" "$music/$1" ;;
    *) lame --quiet -b 192 --id3v1-only --tt "$4" --ta "$5" --tl "$6" --ty "$7" "$work/tone.wav" "$music/$1" ;;
  esac
}
# One song of each kind the player reads tags from: MP3, FLAC, Opus, M4A.
song "01 Night Train.mp3" 60 220 "Night Train" "Zimbar Ensemble" "Harbour Lights" 2024
song "02 Lanterns.flac" 20 330 "Lanterns" "Zimbar Ensemble" "Harbour Lights" 2024
song "03 Low Tide.opus" 20 260 "Low Tide" "Zimbar Ensemble" "Harbour Lights" 2024
song "04 Morning Ferry.m4a" 20 290 "Morning Ferry" "Zimbar Ensemble" "Harbour Lights" 2024
export ZIMBAR_HOME="$work/player"
cat >"$ZIMBAR_HOME/zbplayer.ini" <<'INI'
[Options]
Version=65890
[Player]
PlayerFormTop=40
PlayerFormLeft=40
[PlayList]
PlayListFormTop=40
PlayListFormLeft=480
PlayListFormWidth=520
PlayListFormHeight=420
[EQ]
EQVisible=1
EQ0=70
EQ1=85
EQ2=100
EQ3=115
EQ4=127
EQ5=135
EQ6=140
EQ7=135
EQ8=127
EQ9=110
EQ10=90
EQ11=75
INI
ZIMBAR_SHARE_DIR="$build/share/zimbar" ZIMBAR_AUDIO_OUT=null \
  "$build/bin/zbplayer" --screenshot "$work/shots" "$music"/0* 2>/dev/null
for shot in main eq playlist id3; do
  cp "$work/shots/$shot.png" "$out/player-$shot.png"
done
echo "screenshots: $out/player-main.png $out/player-eq.png $out/player-playlist.png $out/player-id3.png"
rm -rf "$work"
