#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the Chinese interface need
# (only what is missing), then configures and builds into build/.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

PACKAGES=(
    build-essential cmake
    qtbase5-dev qttools5-dev qttools5-dev-tools libqt5svg5-dev
    libqt-advanced-docking-system-dev libxcb1-dev
    libqt5serialport5-dev
    libbenchmark-dev
    libssl-dev openssl
    python3 python3-pymodbus python3-serial python3-serial-asyncio socat
    ansible-core
    libqt5sql5-sqlite libqt5charts5-dev
    fonts-noto-cjk
    xvfb xauth
    qttranslations5-l10n
    dpkg-dev file lintian appstream desktop-file-utils libcap2-bin util-linux
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$ROOT" -B "$ROOT/build" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}"
cmake --build "$ROOT/build" -j"$(nproc)"
