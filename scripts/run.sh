#!/usr/bin/env bash
# Installs what is missing, builds, starts the box simulator on 127.0.0.1 and the tool.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$ROOT/scripts/setup.sh"

# "Search Box" sends from local port 5, which Linux keeps for privileged programs. The
# capability lives on the file and every rebuild drops it, so it is granted again each time.
# Without it the search still works from a system-chosen port and says so in the Message dock.
TOOL="$ROOT/build/bin/orvane"
SETCAP="$(command -v setcap || echo /usr/sbin/setcap)"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
if [ ! -x "$SETCAP" ]; then
    echo "setcap not found (Debian package libcap2-bin): \"Search Box\" will not use port 5."
elif $SUDO "$SETCAP" cap_net_bind_service=+ep "$TOOL"; then
    echo "Granted cap_net_bind_service to $TOOL: \"Search Box\" can send from port 5."
else
    echo "Could not grant cap_net_bind_service to $TOOL: \"Search Box\" will use a system-chosen port." >&2
fi

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
