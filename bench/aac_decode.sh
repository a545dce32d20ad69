#!/bin/bash
# Decoding speed of zbaacdec against ffmpeg (one thread) on the same 3-minute 128 kbit/s
# stereo AAC stream, both writing 16-bit PCM. Median CPU time of 5 runs each; prints the
# ratio.
# Usage: bench/aac_decode.sh [BUILD_DIR]   (a build without sanitizers, e.g. Release)
set -euo pipefail

build=${1:-${ZIMBAR_BUILD_DIR:-build}}
tool="$build/bin/zbaacdec"
[ -x "$tool" ] || { echo "aac_decode.sh: $tool not found (build the zbaacdec target)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A busy stereo signal: a chord with vibrato, bright partials, noise and clicks, so that
# the encoder uses long and short blocks, M/S and TNS as on real music.
ffmpeg -nostdin -v error -y -f lavfi -i "aevalsrc=exprs='0.25*sin(2*PI*220*t+2*sin(2*PI*5*t))+0.15*sin(2*PI*660*t)+0.08*sin(2*PI*3520*t)*(0.5+0.5*sin(2*PI*0.7*t))+0.5*lt(mod(t\,0.37)\,0.004)*sin(2*PI*2500*t)+0.05*(random(0)-0.5)|0.25*sin(2*PI*277*t)+0.12*sin(2*PI*440*t+sin(2*PI*3*t))+0.08*sin(2*PI*5000*t)*lt(mod(t\,0.5)\,0.25)+0.5*lt(mod(t+0.1\,0.37)\,0.004)*sin(2*PI*1800*t)+0.05*(random(1)-0.5)':sample_rate=44100:duration=180" \
  -c:a aac -b:a 128k -f adts "$work/in.aac"

# CPU seconds (user + system) of one run of the given command. CPU time rather than wall
# time, because the machine may be shared: waiting for a core is not decoding time.
time_once() {
  local TIMEFORMAT='%3U %3S' t
  t=$( { time "$@" > /dev/null 2>&1; } 2>&1 )
  echo "${t% *} + ${t#* }" | bc -l
}

median5() {
  local runs=()
  for _ in 1 2 3 4 5; do runs+=("$(time_once "$@")"); done
  printf '%s\n' "${runs[@]}" | sort -g | sed -n 3p
}

ours=$(median5 "$tool" "$work/in.aac" "$work/ours.wav")
theirs=$(median5 ffmpeg -nostdin -v error -y -threads 1 -i "$work/in.aac" -f s16le "$work/ref.raw")
printf 'zbaacdec: %.3f s   ffmpeg -threads 1: %.3f s   ratio (zbaacdec / ffmpeg): %.2f\n' \
  "$ours" "$theirs" "$(echo "$ours / $theirs" | bc -l)"
