# The shared part of the `zbmaker --batch` benchmarks, sourced by them: the build's bin
# folder, a scratch folder with its own settings, the test signal and the timing helpers.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin=${ZIMBAR_BUILD_DIR:-$top/build}/bin
[ -x "$bin/zbmaker" ] || { echo "bench: $bin/zbmaker is not built" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zimbar-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export ZIMBAR_HOME="$work/home"

# Writes three minutes of a changing two-tone signal with a little noise to the WAV file
# $1, so that the stream carries what music would rather than a pure tone.
synth_music() {
  sox -q -n -r 44100 -c 2 -b 16 "$work/tones.wav" synth 180 sine 220-880 sine 330-660 vol 0.4
  sox -q -n -r 44100 -c 2 -b 16 "$work/noise.wav" synth 180 pinknoise vol 0.05
  sox -q -m "$work/tones.wav" "$work/noise.wav" "$1"
  rm -f "$work/tones.wav" "$work/noise.wav"
}

seconds() { date +%s.%N; }
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
