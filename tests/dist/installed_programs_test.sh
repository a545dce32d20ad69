#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed launchers there, with
# nothing of the build tree on the library path: the programs must find their loadable
# libraries and data inside the install.
#   installed_programs_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
unset ZIMBAR_LIB_DIR ZIMBAR_SHARE_DIR LD_LIBRARY_PATH
export ZIMBAR_HOME="$work/home"
bin="$work/prefix/bin"
for program in zbmaker zbplayer zbskinview zbaacdec; do
  [ -L "$bin/$program" ] || { echo "no launcher $bin/$program"; exit 1; }
  [ -f "$work/prefix/share/man/man1/$program.1.gz" ] || { echo "no manual page of $program"; exit 1; }
done
for program in zbmaker zbplayer zbaacdec; do
  "$bin/$program" --version >/dev/null
done
QT_QPA_PLATFORM=offscreen "$bin/zbskinview" --help | grep -q -- --skin || { echo "installed zbskinview does not start"; exit 1; }
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 1 sine 440
"$bin/zbmaker" --batch --quiet -128 "$work/tone.wav"
[ -s "$work/tone.mp3" ] || { echo "installed zbmaker wrote no MP3"; exit 1; }
"$bin/zbmaker" --batch --quiet --aac "$work/tone.wav"
[ -s "$work/tone.aac" ] || { echo "installed zbmaker wrote no AAC"; exit 1; }
"$bin/zbaacdec" "$work/tone.aac" "$work/decoded.wav"
[ "$(head -c 4 "$work/decoded.wav")" = RIFF ] || { echo "installed zbaacdec wrote no WAV"; exit 1; }
[ -f "$work/prefix/share/zimbar/skins/default/main.bmp" ] || { echo "no shipped skin"; exit 1; }
echo "installed programs ran from $work/prefix"
