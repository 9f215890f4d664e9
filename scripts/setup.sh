# SPDX-License-Identifier: GPL-3.0-or-later
# Shared set-up of test.sh and run.sh: install what is missing, configure, build.
# Sourced, not run.

VEMO_PACKAGES=(
  g++ cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-svg-dev libgl-dev
  # The speech module's CMake package asks for QmlIntegration from qt6-declarative-dev.
  qt6-speech-dev qt6-speech-speechd-plugin qt6-declarative-dev python3-pyatspi dbus at-spi2-core
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  fonts-dejavu-core fonts-liberation
  xvfb xauth x11-apps
  locales
  qt6-httpserver-dev qt6-websockets-dev prometheus chromium
  libmosquitto-dev mosquitto libsystemd-dev python3-jinja2
  libsnmp-dev snmpd snmp snmptrapd smitools
  libsqlite3-dev sqlite3
  dpkg-dev file desktop-file-utils
  clang libfuzzer-14-dev
  libhamlib-dev libhamlib-utils
)

vemo_install_missing() {
  local missing=()
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq || true
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The read-out tests check that numbers keep their "." under a decimal-comma locale.
vemo_ensure_comma_locale() {
  locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "note: could not generate de_DE.UTF-8"
}

# vemo_build <build-dir> [extra cmake args...]
vemo_build() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$(nproc)"
}
