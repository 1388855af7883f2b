#!/usr/bin/env bash
# Builds and runs the benchmarks (never part of the tests). Pass a name filter to run some:
#   ./scripts/bench.sh            all of them
#   ./scripts/bench.sh extractor  only bench_extractor
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$ROOT/scripts/setup.sh"
for bench in "$ROOT"/build/bench/bench_*; do
    [ -x "$bench" ] && [ -f "$bench" ] || continue
    case "$(basename "$bench")" in *"${1:-}"*) ;; *) continue ;; esac
    echo "== $(basename "$bench")"
    "$bench"
done
