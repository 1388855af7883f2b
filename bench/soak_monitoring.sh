#!/usr/bin/env bash
# Soak of live data monitoring: the box simulator reports 2,000 points every 200 ms to the
# tool (main window and box editor, driven by bench_monitoring's soak mode) for MINUTES
# minutes. The tool's resident memory is sampled every 5 s; from the first minute on it must
# grow by less than 5 %.
#
# Usage: [SOAK_RECORD=1] [SOAK_CHARTS=N] bench/soak_monitoring.sh [MINUTES=10] [BUILD_DIR=build]
# SOAK_RECORD=1 records every report into an SQLite file in the scratch directory meanwhile;
# SOAK_CHARTS=N keeps N trend charts of two points each open, spanning SOAK_CHART_MINUTES
# (default 10) minutes each.
# Uses the loopback address 127.0.6.210. Exit status 0 = pass, 1 = memory grew, 2 = set-up failed.
set -euo pipefail

MINUTES=${1:-10}
BUILD=${2:-"$(cd "$(dirname "$0")/.." && pwd)/build"}
ADDRESS=127.0.6.210
SAMPLE_SECONDS=5

SIM="$BUILD/bin/orvane-boxsim"
DRIVER="$BUILD/bench/bench_monitoring"
for f in "$SIM" "$DRIVER"; do
    [[ -x "$f" ]] || { echo "missing $f (build orvane-boxsim and bench_monitoring)" >&2; exit 2; }
done

SECONDS_TOTAL=$(awk -v m="$MINUTES" 'BEGIN { s = int(m * 60 + 0.5); print (s < 70 ? 70 : s) }')
WORK=$(mktemp -d)
SIM_PID=""
DRIVER_PID=""
cleanup() {
    [[ -n "$DRIVER_PID" ]] && kill "$DRIVER_PID" 2>/dev/null || true
    [[ -n "$SIM_PID" ]] && kill "$SIM_PID" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

# TZ fixed: the simulator stamps every log line, and without TZ glibc re-reads the zone file.
TZ=${TZ:-UTC} "$SIM" --listen "$ADDRESS" --state "$WORK/state" --interval 200 --seed 1 \
    > "$WORK/sim.log" 2>&1 &
SIM_PID=$!
for _ in $(seq 50); do
    grep -q "listening on" "$WORK/sim.log" 2>/dev/null && break
    sleep 0.1
done
grep -q "listening on" "$WORK/sim.log" || { echo "simulator did not start:" >&2; cat "$WORK/sim.log" >&2; exit 2; }

EXTRA=()
[[ "${SOAK_RECORD:-0}" == 1 ]] && EXTRA+=(--soak-record="$WORK/recording.sqlite")
[[ -n "${SOAK_CHARTS:-}" ]] && EXTRA+=(--soak-charts="$SOAK_CHARTS")
[[ -n "${SOAK_CHART_MINUTES:-}" ]] && EXTRA+=(--soak-chart-minutes="$SOAK_CHART_MINUTES")
QT_QPA_PLATFORM=offscreen "$DRIVER" --soak-seconds="$SECONDS_TOTAL" --soak-box="$ADDRESS" \
    --soak-dir="$WORK/project" "${EXTRA[@]}" > "$WORK/driver.log" 2> /dev/null &
DRIVER_PID=$!

echo "soak: ${SECONDS_TOTAL}s, 2,000 points every 200 ms from $ADDRESS; RSS every ${SAMPLE_SECONDS}s;" \
    "recording ${SOAK_RECORD:-0}, charts ${SOAK_CHARTS:-0} of ${SOAK_CHART_MINUTES:-10} min"
printf "%8s %12s\n" "t [s]" "RSS [KiB]"
BASE=""
LAST=""
PEAK=0
START=$(date +%s)
while kill -0 "$DRIVER_PID" 2>/dev/null; do
    sleep "$SAMPLE_SECONDS"
    RSS=$(awk '/^VmRSS:/ { print $2 }' "/proc/$DRIVER_PID/status" 2>/dev/null || true)
    [[ -n "$RSS" ]] || break
    T=$(( $(date +%s) - START ))
    printf "%8d %12d\n" "$T" "$RSS"
    if [[ -z "$BASE" && $T -ge 60 ]]; then BASE=$RSS; fi
    if [[ -n "$BASE" ]]; then
        LAST=$RSS
        (( RSS > PEAK )) && PEAK=$RSS
    fi
done
set +e
wait "$DRIVER_PID"
STATUS=$?
set -e
DRIVER_PID=""
cat "$WORK/driver.log"
if [[ $STATUS -ne 0 ]]; then
    echo "soak: driver failed with status $STATUS" >&2
    exit 2
fi
if [[ -z "$BASE" || -z "$LAST" ]]; then
    echo "soak: no samples after the first minute" >&2
    exit 2
fi

awk -v b="$BASE" -v l="$LAST" -v p="$PEAK" 'BEGIN {
    g = (l - b) * 100.0 / b; gp = (p - b) * 100.0 / b;
    printf "soak: RSS at 60 s %d KiB, at the end %d KiB (%+.2f %%), peak %d KiB (%+.2f %%)\n", b, l, g, p, gp;
    if (g >= 5.0) { print "soak: FAIL (growth of 5 % or more)"; exit 1 }
    print "soak: PASS";
}'
