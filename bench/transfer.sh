#!/usr/bin/env bash
# Measures a full upload and a full download of etcctl against etcsim on a pseudo-terminal, against
# their protocol floors.
#  - Upload floor: from the first "V": "V" and its reply at 9600 baud, the 50 ms speed switch, "S",
#    "a" and the 18 block reads with their replies at 115200 baud, and the simulator's latency for
#    each of the 21 answers.
#  - Download floor: from the first "E" to "R": one 50 ms sequence tick per frame and per completed
#    step (the block steps and the gap step), as the sequencing demands.
# Usage: bench/transfer.sh [BUILD_DIR] [LATENCY_MS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
latency=${2:-1}
sim=$build/src/programs/etcsim
ctl=$build/src/programs/etcctl
[[ -x $sim && -x $ctl ]] || { echo "build first: ./test.sh or ./run.sh" >&2; exit 1; }

work=$(mktemp -d)
trap 'kill $simpid 2>/dev/null || true; rm -rf "$work"' EXIT
"$sim" --log --latency-ms "$latency" >"$work/out" 2>"$work/log" &
simpid=$!
for _ in $(seq 50); do [[ -s $work/out ]] && break; sleep 0.1; done
pty=$(head -n1 "$work/out")

"$ctl" --port "$pty" upload -o "$work/s.e00" >/dev/null
: >"$work/log.download"
cp "$work/log" "$work/log.upload"
: >"$work/log"
"$ctl" --port "$pty" download "$work/s.e00" >/dev/null
cp "$work/log" "$work/log.download"
kill $simpid; wait $simpid 2>/dev/null || true

awk -v latency="$latency" '
function wire(bytes, baud) { return bytes * 10 * 1000.0 / baud }
function hex(h,   i, n) { n = 0; for (i = 1; i <= length(h); i++) n = n * 16 + index("0123456789ABCDEF", substr(h, i, 1)) - 1; return n }
$4 == "56" && !v { v = $1 }
$4 == "5A" { z++; words = hex($7) * 256 + hex($8); zbytes += 6 + 2 * words + 2; last = $1; lastwords = words }
END {
    floor = wire(1 + 11, 9600) + 50 + wire(1 + 8 + 6 + 4, 115200) + wire(zbytes, 115200) + 21 * latency
    measured = (last - v) + wire(6 + 2 * lastwords + 2, 115200) + latency
    printf "upload: %d block reads, %.1f ms (floor %.1f ms, ratio %.3f)\n", z, measured, floor, measured / floor
}' "$work/log.upload"

awk '
$4 == "45" { e++; if (!first) first = $1 }
$4 == "52" { r = $1 }
END {
    steps = (e == 53) ? 18 : 16
    floor = (e + steps + 1) * 50
    measured = r - first
    printf "download: %d block writes, %.1f ms from the first \"E\" to \"R\" (floor %.1f ms, ratio %.3f)\n", e, measured, floor, measured / floor
}' "$work/log.download"
