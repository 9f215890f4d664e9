#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds into build/ and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
vemo_install_missing "${VEMO_PACKAGES[@]}"
vemo_ensure_comma_locale
vemo_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cd build
# Most tests wait for a device or a process rather than compute: three jobs per core keep
# the machine busy. The long unplug harness (label reliability) runs in CI instead.
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(( $(nproc) * 3 ))" --timeout 300 \
  -LE reliability
