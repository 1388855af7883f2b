#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan and runs
# the whole suite there. A finding in any process fails the run: the tests themselves, the box
# simulators they start and the test programs that re-run themselves all inherit the options
# below, and their reports are looked for once CTest is done.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build-asan"
# Installs what is missing (and builds the plain tree, which the package and benchmarks use).
"$ROOT/scripts/setup.sh"

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_SANITIZE=ON \
      "${launcher[@]}" >/dev/null
cmake --build "$BUILD" -j"$(nproc)"

REPORTS="$BUILD/sanitizer-reports"
log="$BUILD/Testing/Temporary/LastTest.log"
rm -rf "$REPORTS" "$log"
mkdir -p "$REPORTS"
# One log_path for all three: they share it, and whichever is parsed last would win otherwise.
# Qt is built without frame pointers, so only the slow unwinder sees past its first frame; leak
# suppressions need the whole allocation stack to tell third-party allocations from ours.
# Twenty frames reach past every third-party frame that a suppression names and walk less
# than the default thirty.
common="log_path=$REPORTS/report:print_stacktrace=1:fast_unwind_on_malloc=0:malloc_context_size=20"
export ASAN_OPTIONS="$common:halt_on_error=1:detect_leaks=1:check_initialization_order=1"
export UBSAN_OPTIONS="$common:halt_on_error=1"
export LSAN_OPTIONS="$common:suppressions=$ROOT/scripts/sanitizer-leaks.supp:print_suppressions=0"

# Instrumented code runs a few times slower, and some tests wait on the simulator against a
# clock: a test that fails gets a second try. What fails this run is a sanitizer report, from
# whichever try wrote it; whether the tests pass is the uninstrumented run's verdict, so a
# test that still misses its clock here is only listed.
status=0
if ! (cd "$BUILD" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" \
          --repeat until-pass:2 "$@"); then
    echo "Some tests failed under the sanitizers (listed above); only sanitizer reports fail this run."
fi

shopt -s nullglob
reports=("$REPORTS"/report.*)
if ((${#reports[@]})); then
    for report in "${reports[@]}"; do
        echo "== sanitizer report $(basename "$report")"
        cat "$report"
    done
    echo "Sanitizers reported ${#reports[@]} finding(s): see above and $REPORTS"
    status=1
fi
# GCC's UndefinedBehaviorSanitizer writes to standard error whatever log_path says; the tests
# forward their children's standard error, so CTest's log holds every such report.
if [ -f "$log" ] && grep -q ': runtime error: ' "$log"; then
    echo "== undefined behaviour"
    grep -A12 ': runtime error: ' "$log"
    status=1
fi
exit $status
