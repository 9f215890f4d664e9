#!/usr/bin/env bash
# Installs what is missing, builds into build/ and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
vemo_install_missing "${VEMO_PACKAGES[@]}"
vemo_ensure_comma_locale
vemo_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" --timeout 300
