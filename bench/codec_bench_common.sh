# The shared part of the codec benchmarks (flac_encode.sh, vorbis_encode.sh, opus_encode.sh,
# m4a_codec.sh), sourced by them after they set `bench_target`: the adapters' driver (a bench
# program that calls the adapter as the codec threads do), the 10-minute test signal, CPU
# timing and the side-by-side comparison.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-${ZIMBAR_BUILD_DIR:-$top/build}}
runs=${RUNS:-5}
command -v sox > /dev/null || { echo "bench: sox is not installed" >&2; exit 1; }
cmake --build "$build" --target "$bench_target" > /dev/null
tool="$build/bin/$bench_target"

work=$(mktemp -d "${TMPDIR:-/tmp}/zimbar-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Ten minutes of two sweeping tones with a little pink noise at 44100 Hz stereo: a lossy
# encoder then works as on music, not as on a pure tone.
sox -q -n -r 44100 -c 2 -b 16 "$work/tones.wav" synth 600 sine 220-880 sine 330-660 vol 0.4
sox -q -n -r 44100 -c 2 -b 16 "$work/noise.wav" synth 600 pinknoise vol 0.05
sox -q -m "$work/tones.wav" "$work/noise.wav" "$work/in.wav"
rm -f "$work/tones.wav" "$work/noise.wav"

# CPU seconds (user + system) of one run: waiting for a core on a shared machine is not
# encoding time.
time_once() {
  local TIMEFORMAT='%3U %3S' t
  t=$( { time "$@" > /dev/null 2>&1; } 2>&1 )
  awk '{printf "%.3f", $1 + $2}' <<< "$t"
}
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# compare LABEL OURS_FILE THEIRS_FILE NAME -- OUR COMMAND -- THEIR COMMAND: runs of the two
# alternate; prints both medians, the file sizes and the ratio.
compare() {
  local label=$1 oursFile=$2 theirsFile=$3 name=$4
  shift 5
  local ourCommand=() theirCommand=()
  while [ "$1" != "--" ]; do ourCommand+=("$1"); shift; done
  shift
  theirCommand=("$@")
  local ours=() theirs=()
  for _ in $(seq "$runs"); do
    ours+=("$(time_once "${ourCommand[@]}")")
    theirs+=("$(time_once "${theirCommand[@]}")")
  done
  local m t
  m=$(median "${ours[@]}")
  t=$(median "${theirs[@]}")
  printf '%s\n' "$label"
  printf '  maker: median %.3f s CPU over %d runs (%s), %d bytes\n' "$m" "$runs" "${ours[*]}" "$(stat -c %s "$oursFile")"
  printf '  %-6s median %.3f s CPU over %d runs (%s), %d bytes\n' "$name:" "$t" "$runs" "${theirs[*]}" \
    "$(stat -c %s "$theirsFile")"
  awk -v m="$m" -v t="$t" -v n="$name" 'BEGIN {printf "  ratio maker/%s: %.3f\n", n, m / t}'
}
