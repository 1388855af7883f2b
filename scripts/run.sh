#!/usr/bin/env bash
# Installs what is missing, builds, starts the box simulator on 127.0.0.1 and the tool.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$ROOT/scripts/setup.sh"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): the tool needs a graphical session." >&2
    echo "Run it from a desktop session, or under Xvfb: xvfb-run -a ./scripts/run.sh" >&2
    exit 1
fi

SIM_PID=""
if [ -x "$ROOT/build/bin/orvane-boxsim" ]; then
    STATE="${XDG_STATE_HOME:-$HOME/.local/state}/orvane-boxsim"
    mkdir -p "$STATE"
    "$ROOT/build/bin/orvane-boxsim" --listen 127.0.0.1 --state "$STATE" &
    SIM_PID=$!
    trap 'kill "$SIM_PID" 2>/dev/null || true' EXIT
    echo "Box simulator running on 127.0.0.1:30088 (state in $STATE)"
fi

"$ROOT/build/bin/orvane" "$@"
