#!/bin/bash
# Decoding speed of zbaacdec against ffmpeg (one thread), both writing a 16-bit WAV file,
# on 3-minute and 20-minute 128 kbit/s stereo streams: LC and LTP, each as ADTS and as raw
# data blocks. Runs of the two decoders alternate; each figure is the median CPU time
# (user + system) of its runs. The steady-state ratio compares the extra time the
# 20-minute stream takes over the 3-minute one, so that start-up costs cancel out.
#
# ffmpeg cannot read raw data blocks without a container, so the reference for a raw
# stream is ffmpeg decoding the ADTS form of the same stream.
#
# Usage: bench/aac_decode.sh [BUILD_DIR] [--callgrind]
#   BUILD_DIR    a build without sanitizers, e.g. Release (default: build)
#   --callgrind  also count instructions (valgrind) of both decoders on the LC ADTS
#                streams: repeatable where CPU times are not (a shared machine)
# Environment: ZBAAC_BENCH_RUNS (runs per figure, default 5), ZBAAC_BENCH_CACHE (where the
# encoded streams are kept between runs; default $TMPDIR or /tmp, per user).
set -euo pipefail

build=${ZIMBAR_BUILD_DIR:-build}
callgrind=0
for argument in "$@"; do
  case "$argument" in
    --callgrind) callgrind=1 ;;
    -*) echo "aac_decode.sh: unknown option $argument" >&2; exit 2 ;;
    *) build=$argument ;;
  esac
done
tool="$build/bin/zbaacdec"
[ -x "$tool" ] || { echo "aac_decode.sh: $tool not found (build the zbaacdec target)" >&2; exit 1; }
command -v ffmpeg > /dev/null || { echo "aac_decode.sh: ffmpeg not found" >&2; exit 1; }
if [ "$callgrind" = 1 ] && ! command -v valgrind > /dev/null; then
  echo "aac_decode.sh: --callgrind needs valgrind" >&2
  exit 1
fi
runs=${ZBAAC_BENCH_RUNS:-5}
cache=${ZBAAC_BENCH_CACHE:-${TMPDIR:-/tmp}/zbaac-bench-$(id -u)}
mkdir -p "$cache"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A busy stereo signal: a chord with vibrato, bright partials, noise and clicks, so that
# the encoder uses long and short blocks, M/S, TNS and noise substitution as on music.
signal() {
  echo "aevalsrc=exprs='0.25*sin(2*PI*220*t+2*sin(2*PI*5*t))+0.15*sin(2*PI*660*t)+0.08*sin(2*PI*3520*t)*(0.5+0.5*sin(2*PI*0.7*t))+0.5*lt(mod(t\,0.37)\,0.004)*sin(2*PI*2500*t)+0.05*(random(0)-0.5)|0.25*sin(2*PI*277*t)+0.12*sin(2*PI*440*t+sin(2*PI*3*t))+0.08*sin(2*PI*5000*t)*lt(mod(t\,0.5)\,0.25)+0.5*lt(mod(t+0.1\,0.37)\,0.004)*sin(2*PI*1800*t)+0.05*(random(1)-0.5)':sample_rate=44100:duration=$1"
}

# The ADTS stream of a profile (lc, ltp) and length in seconds, encoded once and kept;
# its raw data blocks beside it (the ADTS headers taken off by ffmpeg's stream copy).
stream() {
  local profile=$1 seconds=$2 base="$cache/${1}_${2}s"
  if [ ! -s "$base.aac" ]; then
    echo "encoding a ${seconds}-second $profile stream (kept in $cache)..." >&2
    local options=(-c:a aac -b:a 128k)
    [ "$profile" = ltp ] && options+=(-profile:a aac_ltp -aac_ltp 1 -strict -2)
    ffmpeg -nostdin -v error -y -f lavfi -i "$(signal "$seconds")" "${options[@]}" -f adts "$base.aac.part"
    mv "$base.aac.part" "$base.aac"
  fi
  if [ ! -s "$base.raw" ]; then
    ffmpeg -nostdin -v error -y -i "$base.aac" -map 0:a -c:a copy -bsf:a aac_adtstoasc -f data "$base.raw.part"
    mv "$base.raw.part" "$base.raw"
  fi
}

# CPU seconds (user + system) of one run of the given command. CPU time rather than wall
# time, because the machine may be shared: waiting for a core is not decoding time.
time_once() {
  local TIMEFORMAT='%3U %3S' t
  t=$( { time "$@" > /dev/null 2>&1; } 2>&1 )
  echo "${t% *} + ${t#* }" | bc -l
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Median CPU times of zbaacdec on `input` and of ffmpeg on `reference`, runs alternated:
# prints "ours theirs". Each run writes a new file: zbaacdec flushes a file it replaces to
# disk before renaming it over the old one, which ffmpeg -y does not, and that flush is
# not decoding time.
measure() {
  local input=$1 reference=$2 ours=() theirs=()
  for ((i = 0; i < runs; ++i)); do
    rm -f "$work/ours.wav" "$work/ref.wav"
    ours+=("$(time_once "$tool" "$input" "$work/ours.wav")")
    theirs+=("$(time_once ffmpeg -nostdin -v error -y -threads 1 -i "$reference" -f wav "$work/ref.wav")")
  done
  echo "$(median "${ours[@]}") $(median "${theirs[@]}")"
}

for profile in lc ltp; do
  stream "$profile" 180
  stream "$profile" 1200
done

echo "CPU seconds, medians of $runs runs each (zbaacdec and ffmpeg -threads 1 alternated), 128 kbit/s stereo 44.1 kHz:"
printf '%-9s %10s %10s %10s %10s %8s %8s %12s\n' stream "ours 3m" "ffmpeg 3m" "ours 20m" "ffmpeg 20m" "ratio 3m" "ratio 20m" "steady-state"
for profile in lc ltp; do
  for form in aac raw; do
    read -r ours3 theirs3 < <(measure "$cache/${profile}_180s.$form" "$cache/${profile}_180s.aac")
    read -r ours20 theirs20 < <(measure "$cache/${profile}_1200s.$form" "$cache/${profile}_1200s.aac")
    label="${profile^^} $([ "$form" = aac ] && echo ADTS || echo raw)"
    printf '%-9s %10.3f %10.3f %10.3f %10.3f %8.2f %9.2f %12.2f\n' "$label" "$ours3" "$theirs3" "$ours20" "$theirs20" \
      "$(echo "$ours3 / $theirs3" | bc -l)" "$(echo "$ours20 / $theirs20" | bc -l)" \
      "$(echo "($ours20 - $ours3) / ($theirs20 - $theirs3)" | bc -l)"
  done
done
echo "ratios: zbaacdec / ffmpeg; steady-state: (ours 20m - ours 3m) / (ffmpeg 20m - ffmpeg 3m)"

if [ "$callgrind" = 1 ]; then
  # Instructions executed (valgrind --tool=callgrind), with the same steady-state ratio.
  instructions() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 > /dev/null |
      sed -n 's/.*Collected : \([0-9]*\).*/\1/p' | tail -1
  }
  echo "Instructions (callgrind), LC ADTS:"
  declare -A counted
  for seconds in 180 1200; do
    counted[ours$seconds]=$(instructions "$tool" "$cache/lc_${seconds}s.aac" "$work/ours.wav")
    counted[theirs$seconds]=$(instructions ffmpeg -nostdin -v error -y -threads 1 -i "$cache/lc_${seconds}s.aac" -f wav "$work/ref.wav")
    printf '  %4d s: zbaacdec %14d   ffmpeg %14d   ratio %.2f\n' "$seconds" "${counted[ours$seconds]}" \
      "${counted[theirs$seconds]}" "$(echo "${counted[ours$seconds]} / ${counted[theirs$seconds]}" | bc -l)"
  done
  printf '  steady-state ratio: %.2f\n' \
    "$(echo "(${counted[ours1200]} - ${counted[ours180]}) / (${counted[theirs1200]} - ${counted[theirs180]})" | bc -l)"
fi
