#!/usr/bin/env bash
# The main job: synthesizes a short piece of music, converts it to MP3 with
# `zbmaker --batch` and shows what came out. Uses build/bin (or $ZIMBAR_BUILD_DIR/bin).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin=${ZIMBAR_BUILD_DIR:-$top/build}/bin
if [ ! -x "$bin/zbmaker" ]; then
  echo "demo: $bin/zbmaker is not built (run scripts/setup.sh)" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/zimbar-demo.XXXXXX")
# Settings of the demo stay in the scratch folder, away from the user's own.
export ZIMBAR_HOME="$work/home"

# A short tune: plucked notes over a soft chord, two channels, CD format.
notes=(C4 E4 G4 C5 B4 G4 E4 D4 F4 A4 C5 E5 D5 B4 G4 C5)
parts=()
i=0
for note in "${notes[@]}"; do
  part="$work/note$i.wav"
  sox -q -n -r 44100 -c 2 -b 16 "$part" synth 0.3 pluck "$note" pluck "${note/4/3}" remix - - fade 0 0.3 0.05 vol 0.7
  parts+=("$part")
  i=$((i + 1))
done
sox -q "${parts[@]}" "$work/melody.wav"
sox -q -n -r 44100 -c 2 -b 16 "$work/chord.wav" synth "$(soxi -D "$work/melody.wav")" sine C3 sine G3 sine E4 vol 0.15
sox -q -m "$work/melody.wav" "$work/chord.wav" "$work/demo.wav" reverb 30
rm -f "${parts[@]}" "$work/melody.wav" "$work/chord.wav"

echo "== Converting $work/demo.wav with zbmaker --batch -128"
"$bin/zbmaker" --batch -128 "$work/demo.wav"

echo "== Result"
file "$work/demo.mp3"
ls -l "$work/demo.wav" "$work/demo.mp3"
echo "Listen with: mpg123 $work/demo.mp3"
