#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang in build-fuzz and runs each for the given number
# of seconds (default 60). Seeds come from fuzz/corpus/<name>; what a run adds goes to
# build-fuzz/corpus/<name>, and crashes to build-fuzz/artifacts/<name>/.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SECONDS_PER_TARGET="${1:-60}"
BUILD="$ROOT/build-fuzz"

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_FUZZ=ON \
      -DCMAKE_CXX_COMPILER=clang++ >/dev/null

declare -A MAX_LEN=(
    [fuzz_frameextractor]=12000  # a few frames up to the 4096-byte buffer, cut many ways
    [fuzz_livedata]=8192         # a handful of fragments
    [fuzz_framecodec]=1100       # heartbeat replies (3 x 255) and discovery datagrams
    [fuzz_boxmessages]=2048
    [fuzz_pointcsv]=4096
    [fuzz_projectjson]=8192
    [fuzz_templates]=8192        # a template of a few tabs and points
    [fuzz_modbusdecode]=1024    # a point's registers, or a list of addresses
    [fuzz_modbusreply]=600      # a request and a few TCP frames or one RTU frame
    [fuzz_dlt645reply]=1200     # a request and a few meter frames with preambles and stray bytes
)
cmake --build "$BUILD" -j"$(nproc)" --target "${!MAX_LEN[@]}"

status=0
for name in "${!MAX_LEN[@]}"; do
    corpus="$BUILD/corpus/$name"
    artifacts="$BUILD/artifacts/$name"
    mkdir -p "$corpus" "$artifacts"
    seeds=()
    [ -d "$ROOT/fuzz/corpus/$name" ] && seeds=("$ROOT/fuzz/corpus/$name")
    echo "== $name (${SECONDS_PER_TARGET}s)"
    # Qt keeps a few process-lifetime allocations that LeakSanitizer reports: leaks are off.
    if ! ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen "$BUILD/bin/$name" \
            -max_total_time="$SECONDS_PER_TARGET" -max_len="${MAX_LEN[$name]}" -timeout=10 \
            -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" \
            "$corpus" "${seeds[@]}" 2>"$BUILD/$name.log"; then
        echo "   FAILED: see $BUILD/$name.log and $artifacts"
        status=1
    fi
    grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|#[0-9]+ +DONE)' \
        "$BUILD/$name.log" | sed 's/^/   /' || true
done
exit $status
