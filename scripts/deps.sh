#!/usr/bin/env bash
# Installs the Debian packages Korvane builds, runs and tests with (only those missing).
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev libgl-dev xvfb xauth poppler-utils clang libclang-rt-14-dev fonts-wqy-microhei
    can-utils python3-can python3-canmatrix qt6-svg-dev qt6-translations-l10n shared-mime-info)
# Real buses: Qt Serial Bus (its CAN plugins come with it), Qt Serial Port for slcan adapters.
packages+=(qt6-serialbus-dev qt6-serialport-dev)
# BLF logs (zlib) and pcap captures (libpcap); tshark and editcap check them.
packages+=(zlib1g-dev libpcap-dev tshark)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
