#!/usr/bin/env bash
# Times a burst-then-verify rip of a synthesized 60-minute disc image against a secure
# (test and copy) rip of the same image, both verified against a loopback AccurateRip
# server that knows the disc. A first, unverified rip gives the checksums the server's
# record is built from. Prints the wall and CPU seconds of each mode (median of RUNS runs,
# alternated) and their ratio.
# Usage: bench/verified_rip.sh [BUILD_DIR] (default build-bench/, configured in release mode)
# Environment: RUNS (default 3), MINUTES (default 60), WORK (default a temporary folder).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-bench}
runs=${RUNS:-3}
minutes=${MINUTES:-60}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZIMBAR_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target zbmaker zbntread -j2 >/dev/null
work=${WORK:-$(mktemp -d)}
cleanup() { [ -n "${server:-}" ] && kill "$server" 2>/dev/null; [ -z "${WORK:-}" ] && rm -rf "$work"; }
trap cleanup EXIT
export ZIMBAR_HOME="$work/home" ZIMBAR_LIB_DIR="$build/bin"
mkdir -p "$ZIMBAR_HOME" "$work/srv"

# The disc: 4-minute tracks of seeded noise at a moderate level, one raw data file.
python3 - "$work" "$minutes" <<'PY'
import random, sys
work, minutes = sys.argv[1], int(sys.argv[2])
tracks = max(1, minutes // 4)
sectors = 4 * 60 * 75
rng = random.Random(27)
with open(f"{work}/disc.bin", "wb") as data, open(f"{work}/disc.cue", "w") as cue:
    cue.write('FILE "disc.bin" BINARY\n')
    for t in range(tracks):
        start = t * sectors
        cue.write(f"  TRACK {t + 1:02d} AUDIO\n    INDEX 01 {start // 4500:02d}:{start // 75 % 60:02d}:{start % 75:02d}\n")
        data.write(rng.randbytes(sectors * 2352))
PY

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server --bind 127.0.0.1 --directory "$work/srv" "$port" >/dev/null 2>&1 &
server=$!
for _ in $(seq 50); do python3 -c "import socket; socket.create_connection(('127.0.0.1', $port))" 2>/dev/null && break; sleep 0.1; done
bin="$build/bin/zbmaker"
common=(--batch --cd2wav --cd-image "$work/disc.cue" --yes --accuraterip-server "http://127.0.0.1:$port")

# The checksums of an unverified rip (the server does not know the disc yet) make the record.
"$bin" "${common[@]}" --output "$work/first" > "$work/first.txt"
python3 - "$work" <<'PY'
import re, struct, sys
work = sys.argv[1]
found = re.findall(r"Track (\d+): [^\n]*AccurateRip v1 ([0-9A-F]{8}) v2 ([0-9A-F]{8})", open(f"{work}/first.txt").read())
sums = [v for _, v in sorted({int(t): (int(a, 16), int(b, 16)) for t, a, b in found}.items())]
starts = [int(m[0]) * 4500 + int(m[1]) * 75 + int(m[2]) for m in re.findall(r"INDEX 01 (\d\d):(\d\d):(\d\d)", open(f"{work}/disc.cue").read())]
assert sums and len(sums) == len(starts), (len(sums), len(starts))
lead_out = starts[-1] + 4 * 60 * 75
id1 = sum(starts) + lead_out
id2 = sum(max(s, 1) * (i + 1) for i, s in enumerate(starts)) + lead_out * (len(starts) + 1)
digits = lambda n: sum(int(c) for c in str(n))
cddb = (sum(digits(s // 75 + 2) for s in starts) % 255) << 24 | ((lead_out - starts[0]) // 75) << 8 | len(starts)
id1, id2 = id1 & 0xFFFFFFFF, id2 & 0xFFFFFFFF
name = f"dBAR-{len(starts):03d}-{id1:08x}-{id2:08x}-{cddb:08x}.bin"
import os
folder = f"{work}/srv/accuraterip/{id1 & 0xF:x}/{id1 >> 4 & 0xF:x}/{id1 >> 8 & 0xF:x}"
os.makedirs(folder, exist_ok=True)
record = b""
for confidence, version in ((7, 1), (12, 0)):
    record += struct.pack("<BIII", len(starts), id1, id2, cddb)
    for v1, v2 in sums:
        record += struct.pack("<BII", confidence, v2 if version else v1, 0)
open(f"{folder}/{name}", "wb").write(record)
PY

measure() {  # prints "wall cpu" of one rip with the given switches
  local out="$work/out" t0 t1
  rm -rf "$out"
  /usr/bin/time -f '%e %U %S' -o "$work/time.txt" "$bin" "${common[@]}" --output "$out" "$@" > "$work/run.txt"
  grep -q "accurately ripped" "$work/run.txt" || { echo "the rip did not verify:" >&2; cat "$work/run.txt" >&2; exit 1; }
  awk '{ printf "%.2f %.2f\n", $1, $2 + $3 }' "$work/time.txt"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
: > "$work/burst.txt"; : > "$work/secure.txt"
for _ in $(seq "$runs"); do
  measure --burst >> "$work/burst.txt"
  measure --secure >> "$work/secure.txt"
done
bw=$(cut -d' ' -f1 "$work/burst.txt" | median); bc=$(cut -d' ' -f2 "$work/burst.txt" | median)
sw=$(cut -d' ' -f1 "$work/secure.txt" | median); sc=$(cut -d' ' -f2 "$work/secure.txt" | median)
echo "${minutes}-minute disc image, median of $runs runs"
printf 'burst, then verify: %8.2f s wall %8.2f s CPU\n' "$bw" "$bc"
printf 'secure (test+copy): %8.2f s wall %8.2f s CPU\n' "$sw" "$sc"
awk -v b="$bw" -v s="$sw" 'BEGIN { printf "burst-then-verify / secure wall time: %.2f\n", b / s }'
