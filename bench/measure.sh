#!/usr/bin/env bash
# Measures the link timing of etcctl against etcsim on a pseudo-terminal:
#  - the handshake from the first "V" to the "a" reply, against its protocol floor;
#  - the time between successive "*" polls, against 120 ms + the frame's wire time + the latency.
# Usage: bench/measure.sh [BUILD_DIR] [SECONDS] [LATENCY_MS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-10}
latency=${3:-1}
sim=$build/src/programs/etcsim
ctl=$build/src/programs/etcctl
[[ -x $sim && -x $ctl ]] || { echo "build first: ./test.sh or ./run.sh" >&2; exit 1; }

log=$(mktemp)
out=$(mktemp)
"$sim" --log --latency-ms "$latency" >"$out" 2>"$log" &
simpid=$!
trap 'kill $simpid 2>/dev/null || true; rm -f "$log" "$out"' EXIT
for _ in $(seq 50); do [[ -s $out ]] && break; sleep 0.1; done
pty=$(head -n1 "$out")

cpu_before=$(awk '{print $14+$15}' /proc/$simpid/stat)
"$ctl" --port "$pty" monitor --duration "$seconds" >/dev/null
kill $simpid; wait $simpid 2>/dev/null || true

# Log lines: "<ms> ms <baud> <hex bytes...>"
awk -v latency="$latency" '
function wire(bytes, baud) { return bytes * 10 * 1000.0 / baud }
$4 == "56" && !v { v = $1 }
$4 == "61" && v && !a { a = $1 }
$4 == "2A" {
    if (last) {
        d = $1 - last; n++; sum += d
        if (n == 1 || d < min) min = d
        if (n == 1 || d > max) max = d
        dev = d - expect; if (dev < 0) dev = -dev
        if (dev > worst) worst = dev
        if (dev <= 3) within++
    }
    last = $1
}
BEGIN { expect = 120 + wire(66, 115200) + latency }
END {
    # From the V request: V and its reply at 9600, 50 ms speed switch, S and its reply, the a request
    # and its reply at 115200, and the latency of three answers.
    floor = wire(1 + 11, 9600) + 50 + wire(1 + 8 + 6 + 4, 115200) + 3 * latency
    measured = (a - v) + wire(6 + 4, 115200) + latency
    printf "handshake V -> a reply: %.2f ms (floor %.2f ms, over by %.2f ms)\n", measured, floor, measured - floor
    printf "poll interval: %d intervals, mean %.2f ms, min %.2f, max %.2f (expected %.2f ms)\n", n, sum / n, min, max, expect
    printf "poll interval within 3 ms of expected: %d of %d, worst deviation %.2f ms\n", within, n, worst
}' "$log"
