#!/bin/bash
# Decoding speed and accuracy of zbaacdec against ffmpeg (one thread), both writing a 16-bit
# WAV file, on 3-minute and 21-minute streams: LC stereo 44.1 kHz at 64, 128, 256 and
# 320 kbit/s, LC at 48 kHz, LC mono, LTP, each as ADTS, and the 128 kbit/s LC stream as
# ADIF. Runs of the two decoders alternate; each figure is the median CPU time (user +
# system) of its runs. The steady-state ratio compares the extra time the 21-minute stream
# takes over the 3-minute one, so that start-up costs cancel out; it is taken in each round
# of four runs and the median of the rounds is given.
#
# Accuracy, on the 3-minute streams against ffmpeg's decode: for LC the largest difference
# of any sample (in LSB; at most 1 is required), for LTP the signal-to-error ratio in dB
# (at least 100 is required). The streams are encoded without noise substitution, whose
# noise each decoder draws from its own generator: with long-term prediction that noise
# also enters the predicted signal, and the two decodes drift apart (about 45 dB).
#
# ffmpeg does not read ADIF files, so the reference for the ADIF stream is ffmpeg decoding
# the ADTS form of the same stream. The ADIF file is the stream's raw data blocks (taken
# out of ADTS by ffmpeg's stream copy) behind an ADIF header this script writes.
#
# Usage: bench/aac_decode.sh [BUILD_DIR] [--callgrind] [--only NAME,...]
#   BUILD_DIR    a build without sanitizers, e.g. Release (default: build)
#   --callgrind  also count instructions (valgrind) of both decoders on the LC 128 and
#                256 kbit/s ADTS streams, at 30 s and 180 s: repeatable where CPU times
#                are not (a shared machine)
#   --only       measure only the named streams (lc64, lc128, lc256, lc320, lc48k,
#                lcmono, ltp, adif)
# Environment: ZBAAC_BENCH_RUNS (runs per figure, default 5), ZBAAC_BENCH_CACHE (where the
# encoded streams are kept between runs; default $TMPDIR or /tmp, per user).
set -euo pipefail

build=${ZIMBAR_BUILD_DIR:-build}
callgrind=0
only=""
while [ $# -gt 0 ]; do
  case "$1" in
    --callgrind) callgrind=1 ;;
    --only) only=${2:?--only needs a list}; shift ;;
    -*) echo "aac_decode.sh: unknown option $1" >&2; exit 2 ;;
    *) build=$1 ;;
  esac
  shift
done
tool="$build/bin/zbaacdec"
[ -x "$tool" ] || { echo "aac_decode.sh: $tool not found (build the zbaacdec target)" >&2; exit 1; }
for program in ffmpeg python3 bc; do
  command -v "$program" > /dev/null || { echo "aac_decode.sh: $program not found" >&2; exit 1; }
done
if [ "$callgrind" = 1 ] && ! command -v valgrind > /dev/null; then
  echo "aac_decode.sh: --callgrind needs valgrind" >&2
  exit 1
fi
runs=${ZBAAC_BENCH_RUNS:-5}
cache=${ZBAAC_BENCH_CACHE:-${TMPDIR:-/tmp}/zbaac-bench-$(id -u)}
mkdir -p "$cache"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The streams: name, profile, kbit/s, sampling rate, channels, form (adts or adif).
streams=(
  "lc64 lc 64 44100 2 adts"
  "lc128 lc 128 44100 2 adts"
  "lc256 lc 256 44100 2 adts"
  "lc320 lc 320 44100 2 adts"
  "lc48k lc 128 48000 2 adts"
  "lcmono lc 64 44100 1 adts"
  "ltp ltp 128 44100 2 adts"
  "adif lc 128 44100 2 adif"
)

# A busy stereo signal: a chord with vibrato, bright partials, noise and clicks, so that
# the encoder uses long and short blocks, M/S and TNS as on music.
signal() {
  local rate=$2 channels=$3
  local left="0.25*sin(2*PI*220*t+2*sin(2*PI*5*t))+0.15*sin(2*PI*660*t)+0.08*sin(2*PI*3520*t)*(0.5+0.5*sin(2*PI*0.7*t))+0.5*lt(mod(t\,0.37)\,0.004)*sin(2*PI*2500*t)+0.05*(random(0)-0.5)"
  local right="0.25*sin(2*PI*277*t)+0.12*sin(2*PI*440*t+sin(2*PI*3*t))+0.08*sin(2*PI*5000*t)*lt(mod(t\,0.5)\,0.25)+0.5*lt(mod(t+0.1\,0.37)\,0.004)*sin(2*PI*1800*t)+0.05*(random(1)-0.5)"
  local exprs=$left
  [ "$channels" = 2 ] && exprs+="|$right"
  echo "aevalsrc=exprs='$exprs':sample_rate=$rate:duration=$1"
}

# The ADTS stream of a profile, bit rate, rate and channel count, at a length in seconds,
# encoded once and kept. Prints its path. The 21-minute stream is the 3-minute one seven
# times over (ADTS frames simply follow each other), which spares the encoder's time; the
# 30-second one is the 3-minute one's start.
adts_stream() {
  local profile=$1 kbps=$2 rate=$3 channels=$4 seconds=$5
  local base="$cache/${profile}_${kbps}k_${rate}_${channels}ch_${seconds}s"
  if [ "$seconds" = 1260 ] && [ ! -s "$base.aac" ]; then
    local short
    short=$(adts_stream "$profile" "$kbps" "$rate" "$channels" 180)
    for ((i = 0; i < 7; ++i)); do cat "$short"; done > "$base.aac.part"
    mv "$base.aac.part" "$base.aac"
  elif [ "$seconds" = 30 ] && [ ! -s "$base.aac" ]; then
    ffmpeg -nostdin -v error -y -i "$(adts_stream "$profile" "$kbps" "$rate" "$channels" 180)" -t 30 -c copy \
      -f adts "$base.aac.part"
    mv "$base.aac.part" "$base.aac"
  elif [ ! -s "$base.aac" ]; then
    echo "encoding $(basename "$base").aac (kept in $cache)..." >&2
    local options=(-c:a aac -b:a "${kbps}k" -aac_pns 0)
    [ "$profile" = ltp ] && options+=(-profile:a aac_ltp -aac_ltp 1 -strict -2)
    ffmpeg -nostdin -v error -y -f lavfi -i "$(signal "$seconds" "$rate" "$channels")" "${options[@]}" -f adts "$base.aac.part"
    mv "$base.aac.part" "$base.aac"
  fi
  echo "$base.aac"
}

# The ADIF form of an ADTS stream (one channel pair or one single channel, tag 0): the
# header, then the raw data blocks. Prints its path.
adif_stream() {
  local adts=$1 channels=$2 base=${1%.aac}
  if [ ! -s "$base.adif" ]; then
    ffmpeg -nostdin -v error -y -i "$adts" -map 0:a -c:a copy -bsf:a aac_adtstoasc -f data "$base.raw"
    python3 - "$adts" "$base.raw" "$channels" "$base.adif.part" <<'PY'
import sys
adts, raw, channels, out = open(sys.argv[1], 'rb').read(), open(sys.argv[2], 'rb').read(), int(sys.argv[3]), sys.argv[4]
profile = adts[2] >> 6
rate_index = (adts[2] >> 2) & 15
rates = [96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000]
frames, at = 0, 0
while at + 7 <= len(adts) and adts[at] == 0xFF:
    frames += 1
    at += ((adts[at + 3] & 3) << 11) | (adts[at + 4] << 3) | (adts[at + 5] >> 5)
bit_rate = min(len(raw) * 8 * rates[rate_index] // (frames * 1024), (1 << 23) - 1)
fields = [(0, 1), (0, 1), (0, 1), (1, 1), (bit_rate, 23), (0, 4),          # no copyright id; variable rate; one program
          (0, 4), (profile, 2), (rate_index, 4), (1, 4), (0, 4), (0, 4), (0, 2), (0, 3), (0, 4),
          (0, 3), (1 if channels == 2 else 0, 1), (0, 4)]                 # no mixdowns; one front element, tag 0
value, width = 0, 0
for field, bits in fields:
    value, width = (value << bits) | field, width + bits
value, width = value << (-width % 8), width + (-width % 8)                 # byte alignment
header = b'ADIF' + value.to_bytes(width // 8, 'big') + b'\0'              # no comment
open(out, 'wb').write(header + raw)
PY
    mv "$base.adif.part" "$base.adif"
    rm -f "$base.raw"
  fi
  echo "$base.adif"
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
# One decode by each program, as CPU seconds: "ours reference".
decode_pair() {
  local input=$1 reference=$2
  rm -f "$work/ours.wav" "$work/ref.wav"
  echo "$(time_once "$tool" "$input" "$work/ours.wav")" \
    "$(time_once ffmpeg -nostdin -v error -y -threads 1 -i "$reference" -f wav "$work/ref.wav")"
}

# Rounds of the four decodes (both programs on the 3-minute and on the 21-minute stream),
# one after the other, so that each round's steady-state ratio compares runs made close
# together (this machine's speed drifts over tens of seconds). Prints the medians of the
# four times and the median of the rounds' steady-state ratios.
measure() {
  local input3=$1 reference3=$2 input20=$3 reference20=$4
  local ours3=() theirs3=() ours20=() theirs20=() steady=() o3 t3 o20 t20
  for ((i = 0; i < runs; ++i)); do
    read -r o3 t3 < <(decode_pair "$input3" "$reference3")
    read -r o20 t20 < <(decode_pair "$input20" "$reference20")
    ours3+=("$o3") theirs3+=("$t3") ours20+=("$o20") theirs20+=("$t20")
    steady+=("$(echo "($o20 - $o3) / ($t20 - $t3)" | bc -l)")
  done
  echo "$(median "${ours3[@]}") $(median "${theirs3[@]}") $(median "${ours20[@]}") $(median "${theirs20[@]}")" \
    "$(median "${steady[@]}")"
}

accuracy() {
  rm -f "$work/ours.wav" "$work/ref.wav"
  "$tool" "$1" "$work/ours.wav" > /dev/null
  ffmpeg -nostdin -v error -y -threads 1 -i "$2" -f wav "$work/ref.wav"
  python3 - "$work/ours.wav" "$work/ref.wav" <<'PY'
import array, math, operator, sys, wave
def samples(path):
    with wave.open(path, 'rb') as w:
        data = array.array('h', w.readframes(w.getnframes()))
        return data if w.getnchannels() == 2 else array.array('h', [v for v in data for _ in (0, 1)])
ours, ref = samples(sys.argv[1]), samples(sys.argv[2])
n = min(len(ours), len(ref))
ours, ref = ours[:n], ref[:n]
difference = list(map(operator.sub, ours, ref))
largest = max(map(abs, difference)) if n else 0
error = sum(map(operator.mul, difference, difference))
signal = sum(map(operator.mul, ref, ref))
print(largest, 200.0 if error == 0 else 10 * math.log10(signal / error))
PY
}

wanted() { [ -z "$only" ] || [[ ",$only," == *",$1,"* ]]; }

declare -A input3 input20 ref3 ref20
for entry in "${streams[@]}"; do
  read -r name profile kbps rate channels form <<< "$entry"
  wanted "$name" || continue
  ref3[$name]=$(adts_stream "$profile" "$kbps" "$rate" "$channels" 180)
  ref20[$name]=$(adts_stream "$profile" "$kbps" "$rate" "$channels" 1260)
  if [ "$form" = adif ]; then
    input3[$name]=$(adif_stream "${ref3[$name]}" "$channels")
    input20[$name]=$(adif_stream "${ref20[$name]}" "$channels")
  else
    input3[$name]=${ref3[$name]}
    input20[$name]=${ref20[$name]}
  fi
done

echo "CPU seconds, medians of $runs rounds (zbaacdec and ffmpeg -threads 1 alternated, on both streams in each round):"
printf '%-24s %8s %9s %8s %10s %8s %9s %8s %10s\n' stream "ours 3m" "ffmpeg 3m" "ours 21m" "ffmpeg 21m" "ratio 3m" "ratio 21m" steady accuracy
for entry in "${streams[@]}"; do
  read -r name profile kbps rate channels form <<< "$entry"
  wanted "$name" || continue
  read -r ours3 theirs3 ours20 theirs20 steady < <(measure "${input3[$name]}" "${ref3[$name]}" \
    "${input20[$name]}" "${ref20[$name]}")
  read -r largest snr < <(accuracy "${input3[$name]}" "${ref3[$name]}")
  if [ "$profile" = ltp ]; then
    quality=$(printf '%.1f dB' "$snr")
  else
    quality="max $largest LSB"
  fi
  label="${profile^^} ${kbps}k $(echo "scale=1; $rate / 1000" | bc) kHz $([ "$channels" = 1 ] && echo mono || echo st) ${form^^}"
  printf '%-24s %8.3f %9.3f %8.3f %10.3f %8.2f %9.2f %8.2f %10s\n' "$label" "$ours3" "$theirs3" "$ours20" "$theirs20" \
    "$(echo "$ours3 / $theirs3" | bc -l)" "$(echo "$ours20 / $theirs20" | bc -l)" \
    "$steady" "$quality"
done
echo "ratios: zbaacdec / ffmpeg; steady: (ours 21m - ours 3m) / (ffmpeg 21m - ffmpeg 3m) in each round, median"
echo "accuracy (3m stream): LC largest |ours - ffmpeg| (<= 1 required), LTP signal to error (>= 100 dB required)"

if [ "$callgrind" = 1 ]; then
  # Instructions executed (valgrind --tool=callgrind), with the same steady-state ratio
  # between a 30-second and a 3-minute stream.
  #
  # ffmpeg's libraries load libhwy, whose start-up probe of its timer uses an instruction
  # valgrind does not know (the run dies of SIGILL before decoding); a stand-in for that
  # probe, preloaded into ffmpeg's runs under valgrind, lets it start. ffmpeg never uses
  # that timer when decoding.
  command -v cc > /dev/null || { echo "aac_decode.sh: --callgrind needs cc" >&2; exit 1; }
  printf '%s\n' 'unsigned long long timer_resolution(void) __asm__("_ZN3hwy8platform15TimerResolutionEv");' \
    'unsigned long long timer_resolution(void) { return 1; }' > "$work/probe.c"
  cc -shared -fPIC -o "$work/probe.so" "$work/probe.c"
  instructions() {
    local count
    count=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 > /dev/null |
      sed -n 's/.*Collected : \([0-9]*\).*/\1/p' | tail -1)
    [ -s "$work/out.wav" ] || { echo "aac_decode.sh: $1 failed under valgrind" >&2; exit 1; }
    echo "$count"
  }
  for kbps in 128 256; do
    echo "Instructions (callgrind), LC ${kbps} kbit/s ADTS:"
    declare -A counted=()
    for seconds in 30 180; do
      path=$(adts_stream lc "$kbps" 44100 2 "$seconds")
      rm -f "$work/out.wav"
      counted[ours$seconds]=$(instructions "$tool" "$path" "$work/out.wav")
      rm -f "$work/out.wav"
      counted[theirs$seconds]=$(LD_PRELOAD="$work/probe.so" instructions ffmpeg -nostdin -v error -y -threads 1 -i "$path" -f wav "$work/out.wav")
      printf '  %4d s: zbaacdec %14d   ffmpeg %14d   ratio %.3f\n' "$seconds" "${counted[ours$seconds]}" \
        "${counted[theirs$seconds]}" "$(echo "${counted[ours$seconds]} / ${counted[theirs$seconds]}" | bc -l)"
    done
    printf '  steady-state ratio: %.3f\n' \
      "$(echo "(${counted[ours180]} - ${counted[ours30]}) / (${counted[theirs180]} - ${counted[theirs30]})" | bc -l)"
  done
fi
