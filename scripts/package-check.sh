#!/usr/bin/env bash
# Builds the Debian package from the release build in build/, checks it with lintian,
# installs it on this machine, runs the installed programs and removes the package again.
# Needs root (CI runs as root).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
vemo_install_missing lintian man-db bash-completion desktop-file-utils

rm -f build/vemoswr_*.deb
(cd build && cpack -G DEB)
deb=$(ls build/vemoswr_*.deb)
echo "== lintian $deb"
lintian --fail-on error "$deb"

export DEBIAN_FRONTEND=noninteractive
trap 'apt-get remove -y -qq vemoswr >/dev/null 2>&1 || true' EXIT
apt-get install -y -qq "./$deb"

echo "== installed programs"
/usr/bin/vemoswr-cli --version
/usr/bin/vemoswr-sim --help >/dev/null
QT_QPA_PLATFORM=offscreen /usr/bin/VemoSWR --version
desktop-file-validate /usr/share/applications/vemoswr.desktop
for page in VemoSWR vemoswr vemoswr-cli vemoswr-sim vemoswrd; do man -w "$page"; done
bash -c 'source /usr/share/bash-completion/bash_completion
         _completion_loader vemoswr-cli
         complete -p vemoswr-cli'

apt-get remove -y -qq vemoswr
trap - EXIT
if [ -e /usr/bin/vemoswr-cli ]; then
  echo "vemoswr-cli is still installed after removing the package" >&2
  exit 1
fi
echo "== package check passed"
