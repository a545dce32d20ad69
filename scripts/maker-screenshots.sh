#!/usr/bin/env bash
# Takes the screenshots of the maker's windows under a private X server into
# docs/screenshots/: the main window after a run of each operation (maker-cd2mp3.png,
# maker-cd2wav.png, maker-wav2mp3.png, maker-mp32wav.png), the options window's pages
# (maker-options-1.png ... -4.png, the accuracy page maker-accuracy-page.png), the CD
# information and CDDB status windows
# (maker-cdinfo.png, maker-cddb.png), a rip verified with AccurateRip
# (maker-verified-run.png, against a record served from this machine), and the main
# window in German (maker-de-cd2mp3.png). The drive is a generated disc image.
# Usage: scripts/maker-screenshots.sh [BUILD_DIR]   (default: build-test, then build)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-}
if [ -z "$build" ]; then
  for candidate in "$top/build-test" "$top/build"; do
    [ -x "$candidate/bin/zbmaker-shots" ] && build=$candidate && break
  done
fi
if [ -z "$build" ] || [ ! -x "$build/bin/zbmaker-shots" ]; then
  echo "maker-screenshots: zbmaker-shots is not built (cmake --build BUILD --target zbmaker-shots)" >&2
  exit 1
fi
# shellcheck source=scripts/test-servers.sh
source "$top/scripts/test-servers.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/zimbar-maker-shots.XXXXXX")
records_server=""
stop_all() {
  [ -n "$records_server" ] && kill "$records_server" 2>/dev/null
  zb_servers_stop
}
trap stop_all EXIT
zb_servers_start >/dev/null
export ZIMBAR_HOME="$work/home"
export HOME="$work"
export ASAN_OPTIONS=detect_leaks=0
export ZIMBAR_LIB_DIR="$build/bin"
out="$top/docs/screenshots"
mkdir -p "$out" "$work/Music"

# A disc of four 8-second tracks (600 sectors each) as a .cue sheet over raw CD audio.
for hz in 220 330 260 290; do
  sox -n -r 44100 -c 2 -b 16 -e signed -t raw "$work/t$hz.raw" synth 8 sine "$hz" tremolo 2 60 gain -9
done
cat "$work"/t220.raw "$work"/t330.raw "$work"/t260.raw "$work"/t290.raw >"$work/disc.bin"
cat >"$work/disc.cue" <<'CUE'
FILE "disc.bin" BINARY
  TRACK 01 AUDIO
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    INDEX 01 00:08:00
  TRACK 03 AUDIO
    INDEX 01 00:16:00
  TRACK 04 AUDIO
    INDEX 01 00:24:00
CUE
# Three WAV files to encode.
for name in "Harbour Demo" "Lanterns Take 2" "Night Train (live)"; do
  sox -n -r 44100 -c 2 -b 16 "$work/Music/$name.wav" synth 6 sine 440 sine 554 gain -12
done

# The AccurateRip database of the verified rip: a web server on this machine over a
# folder into which zbmaker-shots writes the disc's record.
mkdir -p "$work/accuraterip-records"
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$work/accuraterip-records" >"$work/records.log" 2>&1 &
records_server=$!
for _ in $(seq 50); do grep -q 'port' "$work/records.log" && break; sleep 0.1; done
records_port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/records.log" | head -1)
[ -n "$records_port" ] || { echo "maker-screenshots: the record server did not start" >&2; exit 1; }

# The windows follow the desktop's language: English first, then the German main window
# (maker-de-cd2mp3.png), each on fresh settings.
env -u LC_ALL -u LC_MESSAGES LANG=C.UTF-8 ZIMBAR_SHOTS_ACCURATERIP_DIR="$work/accuraterip-records" \
  ZIMBAR_ACCURATERIP_SERVER="http://127.0.0.1:$records_port" \
  "$build/bin/zbmaker-shots" "$work/shots" "$work/disc.cue" "$work/Music"
cp "$work"/shots/maker-*.png "$out/"
rm -rf "$ZIMBAR_HOME" "$work/Music/ripped"
env -u LC_ALL -u LC_MESSAGES LANG=de_DE.UTF-8 "$build/bin/zbmaker-shots" "$work/shots-de" "$work/disc.cue" "$work/Music"
cp "$work/shots-de/maker-cd2mp3.png" "$out/maker-de-cd2mp3.png"
ls "$out"/maker-*.png
rm -rf "$work"
