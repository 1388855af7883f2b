#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$ROOT/scripts/setup.sh"
cd "$ROOT/build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
