#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tallyfern need.
# Run as root on Debian 12. Installs only what is missing.
set -euo pipefail
packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-translations-l10n
    libsqlite3-dev libgtest-dev
    libicu-dev
    libxlsxwriter-dev qt6-charts-dev libqt6opengl6-dev
    fonts-wqy-microhei
    python3 python3-xlrd python3-openpyxl poppler-utils zip
    xvfb xauth
    clang libclang-rt-14-dev
    dpkg-dev fakeroot lintian desktop-file-utils appstream binutils file
    libminizip-dev libsodium-dev
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
