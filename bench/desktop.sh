#!/usr/bin/env bash
# Measures etcconf against etcsim on a pseudo-terminal:
#  - the time from starting etcconf (with -O, no splash) to its first live-data poll, that is: main
#    window shown, handshake, access levels, the 18 block reads, polling;
#  - its own CPU use while it polls, over a quiet stretch after the start.
# Runs on Qt's offscreen platform unless a display is set. Usage: bench/desktop.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-10}
sim=$build/src/programs/etcsim
app=$build/src/programs/etcconf
[[ -x $sim && -x $app ]] || { echo "build first: ./test.sh or ./run.sh" >&2; exit 1; }
[[ -n ${DISPLAY:-} ]] || export QT_QPA_PLATFORM=offscreen

work=$(mktemp -d)
trap 'kill $simpid 2>/dev/null || true; rm -rf "$work"' EXIT
simstart=$(date +%s.%N)
"$sim" --log --latency-ms 1 >"$work/out" 2>"$work/log" &
simpid=$!
for _ in $(seq 100); do [[ -s $work/out ]] && break; sleep 0.05; done
pty=$(head -n1 "$work/out")

launch=$(date +%s.%N)
"$app" -O --port "$pty" --quit-after-seconds $((seconds + 6)) &
apppid=$!
sleep 3
hz=$(getconf CLK_TCK)
before=$(awk '{print $14 + $15}' /proc/$apppid/stat)
sleep "$seconds"
after=$(awk '{print $14 + $15}' /proc/$apppid/stat)
wait $apppid || true
kill $simpid; wait $simpid 2>/dev/null || true

# The simulator's log times count from its own start, which lies between simstart and the line with
# the device path; the offset below is good to a few milliseconds.
awk -v offset="$(awk -v a="$launch" -v b="$simstart" 'BEGIN { print a - b }')" '
$4 == "2A" && !poll { poll = $1 }
END { printf "first poll %.0f ms after etcconf was started\n", poll - offset * 1000 }' "$work/log"
echo "$before $after $hz $seconds" | awk '{ printf "CPU while polling: %.2f %% of one core over %d s\n", ($2 - $1) / $3 / $4 * 100, $4 }'
