#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian packages from debian/ (binary and source) in build/deb/, checks them with
# lintian, blhc and hardening-check, then installs them on this machine, runs the service as
# its unit would (through systemd where it runs, else by hand as the vemoswrd user) against
# the simulated monitor, removes and purges them and checks that nothing is left.
# Needs root (CI runs as root). DEB_BUILD_OPTIONS passes on: CI sets nocheck, as it has run
# the tests already. --reuse checks and installs the packages built by the last run.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
vemo_install_missing debhelper devscripts lintian blhc curl git file man-db bash-completion \
  desktop-file-utils systemd

fail() {
  echo "package-check: $*" >&2
  exit 1
}

# --- Build ------------------------------------------------------------------------------------
# From a copy of the tracked files, so that the checkout stays clean and the packages see
# nothing that is not committed or staged.
version=$(dpkg-parsechangelog -S Version)
cmake_version=$(sed -n 's/^project(VemoSWR VERSION \([^ ]*\) .*/\1/p' CMakeLists.txt)
[ "$version" = "$cmake_version" ] ||
  fail "debian/changelog is at $version, CMakeLists.txt at $cmake_version"
out=$PWD/build/deb
src=$out/vemoswr-$version
if [ "${1:-}" != --reuse ]; then
  rm -rf "$out"
  mkdir -p "$src"
  git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$src"
  # debhelper gives the build a home of its own: keep ccache's cache and settings.
  export CCACHE_DIR=${CCACHE_DIR:-$(ccache -k cache_dir 2>/dev/null || echo "$HOME/.cache/ccache")}
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
  echo "== dpkg-buildpackage (DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS:-})"
  (cd "$src" && dpkg-buildpackage -us -uc -S >"$out/source.log" 2>&1) ||
    { tail -30 "$out/source.log"; fail "the source package did not build"; }
  (cd "$src" && nice dpkg-buildpackage -us -uc -b >"$out/build.log" 2>&1) ||
    { tail -50 "$out/build.log"; fail "the binary packages did not build"; }
fi
debs=("$out"/*.deb)
printf '%s\n' "${debs[@]##*/}"

echo "== lintian"
# Errors, warnings and informational tags fail the check; the overrides in debian/ explain
# the informational ones that stay.
lintian --pedantic --display-info --fail-on error,warning,info "$out"/*.dsc "${debs[@]}"

echo "== blhc (build flags in the log)"
blhc "$out/build.log"

echo "== hardening-check"
# Control-flow protection (CET) is no feature of Debian 12's build flags, and its toolchain
# leaves it unmarked even where it is asked for: that check is left out.
unpacked=$out/unpacked
rm -rf "$unpacked"
for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$unpacked"; done
elves=0
for elf in $(find "$unpacked" -type f -perm -u+x -exec sh -c 'file -b "$1" | grep -q ^ELF' _ {} \; -print); do
  hardening-check --quiet --nocfprotection "$elf" || fail "$elf is not hardened"
  elves=$((elves + 1))
done
[ "$elves" -eq 4 ] || fail "hardening-check found $elves programs, not 4"

echo "== dependencies"
# The tool and the service need no widgets, sound or graphics.
for pkg in vemoswr-cli vemoswrd vemoswr-sim; do
  deps=$(dpkg-deb -f "$out/${pkg}_${version}_"*.deb Depends)
  if grep -Eq 'libqt6(widgets|multimedia|gui|opengl)' <<<"$deps"; then
    fail "$pkg depends on more than it links: $deps"
  fi
done

# --- piuparts: install and purge on a clean system of this release ------------------------------
# Its base system is made once by debootstrap and kept in /var/cache/vemoswr-piuparts.
echo "== piuparts"
vemo_install_missing piuparts debootstrap
. /etc/os-release
mirror=${VEMO_DEBIAN_MIRROR:-http://deb.debian.org/debian}
base=/var/cache/vemoswr-piuparts/$VERSION_CODENAME.tgz
if [ ! -s "$base" ]; then
  mkdir -p "${base%/*}"
  chroot_dir=$(mktemp -d)
  debootstrap --variant=minbase "$VERSION_CODENAME" "$chroot_dir" "$mirror" >"$out/debootstrap.log"
  tar -C "$chroot_dir" -czf "$base.new" .
  rm -rf "$chroot_dir"
  mv "$base.new" "$base"
fi
# The folders ignored are systemd's: the service's need for systemd-sysusers brings it into
# the minimal system, and these stay when piuparts purges it again with our packages.
mapfile -t main_debs < <(printf '%s\n' "${debs[@]}" | grep -v -- '-dbgsym_')
nice piuparts -b "$base" -d "$VERSION_CODENAME" -m "$mirror main" --no-upgrade-test \
  -i /root/.ssh/ -i /var/cache/private/ -i /var/lib/private/ -i /var/log/private/ \
  -i /var/lib/systemd/coredump/ -i /var/lib/systemd/pstore/ \
  "${main_debs[@]}" >"$out/piuparts.log" 2>&1 ||
  { grep -A12 'ERROR' "$out/piuparts.log" | head -40; fail "piuparts failed: $out/piuparts.log"; }

# --- Install, run, remove, purge -----------------------------------------------------------------
export DEBIAN_FRONTEND=noninteractive
packages=(vemoswr vemoswr-cli vemoswrd vemoswr-sim)
sim_pid=""
service_pid=""
scratch=$(mktemp -d)
cleanup() {
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  wait 2>/dev/null || true
  dpkg --purge "${packages[@]}" >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT

echo "== install"
apt-get -o DPkg::Lock::Timeout=600 install -y -qq "$out/vemoswrd_${version}_"*.deb "$out/vemoswr-cli_${version}_"*.deb \
  "$out/vemoswr-sim_${version}_"*.deb "$out/vemoswr_${version}_"*.deb >/dev/null
id -nG vemoswrd | grep -qw dialout || fail "the user vemoswrd is missing or not in dialout"
dpkg-query -W -f='${Conffiles}\n' vemoswrd | grep -q '/etc/vemoswrd/vemoswrd.ini' ||
  fail "/etc/vemoswrd/vemoswrd.ini is no conffile"
[ "$(systemctl is-enabled vemoswrd 2>/dev/null || true)" = disabled ] ||
  fail "the unit is enabled on install"
unit=/lib/systemd/system/vemoswrd.service
# Parses the unit and checks its directives, the program it starts and its manual page.
systemd-analyze verify "$unit" || fail "systemd-analyze verify finds fault with $unit"

echo "== installed programs"
/usr/bin/vemoswr-cli --version | grep -q 'GPL version 3 or later' || fail "no licence in --version"
QT_QPA_PLATFORM=offscreen /usr/bin/VemoSWR --version >/dev/null
/usr/bin/vemoswr-sim --help >/dev/null
desktop-file-validate /usr/share/applications/vemoswr.desktop
for page in VemoSWR vemoswr vemoswr-cli vemoswr-sim vemoswrd; do man -w "$page" >/dev/null; done
bash -c 'source /usr/share/bash-completion/bash_completion
         _completion_loader vemoswr-cli
         complete -p vemoswr-cli' >/dev/null

echo "== the service against the simulated monitor"
! curl -s -o /dev/null http://127.0.0.1:9110/ ||
  fail "something already serves 127.0.0.1:9110, where the installed configuration listens"
# The shipped configuration as written, with its COM1 led to a simulated monitor that the
# service's user may open.
# What runs a command as systemd runs the unit's: as vemoswrd with its groups, in a clean
# environment with the user's home. Each part execs the next, so $! is the command's pid.
as_service=(env -i HOME=/ LANG=C.UTF-8 PATH=/usr/sbin:/usr/bin:/sbin:/bin
  setpriv --reuid=vemoswrd --regid=vemoswrd --init-groups --)
chown vemoswrd: "$scratch"
"${as_service[@]}" vemoswr-sim --link "$scratch/sim" >"$scratch/sim.out" &
sim_pid=$!
for _ in $(seq 100); do [ -e "$scratch/sim" ] && break; sleep 0.1; done
[ -e "$scratch/sim" ] || fail "the simulated monitor did not start"
sed -i "s|^COM1=.*|COM1=$scratch/sim|" /etc/vemoswrd/vemoswrd.ini
if [ -d /run/systemd/system ]; then
  systemctl start vemoswrd
  service_pid=""
else
  exec_start=$(sed -n 's/^ExecStart=//p' "$unit")
  # shellcheck disable=SC2086 # the unit's command line, split as systemd splits it
  "${as_service[@]}" $exec_start 2>"$scratch/service.log" &
  service_pid=$!
fi
reading=""
for _ in $(seq 150); do
  reading=$(curl -sf http://127.0.0.1:9110/api/v1/monitors/tx 2>/dev/null || true)
  grep -q '"forward_watts"' <<<"$reading" && break
  sleep 0.2
done
grep -q '"forward_watts"' <<<"$reading" || {
  cat "$scratch/service.log" 2>/dev/null
  fail "the service serves no reading of the monitor tx: $reading"
}
pid=${service_pid:-$(systemctl show -p MainPID --value vemoswrd)}
[ "$(ps -o user= -p "$pid")" = vemoswrd ] || fail "the service does not run as vemoswrd"
grep -qw "$pid" /run/lock/LCK..* 2>/dev/null || fail "the service holds no lock file in /run/lock"
if [ -n "$service_pid" ]; then
  kill -TERM "$service_pid"
  wait "$service_pid" || fail "the service did not stop cleanly on SIGTERM"
  service_pid=""
else
  systemctl stop vemoswrd
fi
if ls /run/lock/LCK..* 2>/dev/null | xargs -r grep -lw "$pid"; then
  fail "the service left its lock file"
fi
# A configuration error ends with status 2, which the unit does not retry.
status=0
"${as_service[@]}" /usr/sbin/vemoswrd --config /nonexistent.ini 2>/dev/null || status=$?
[ "$status" = 2 ] || fail "a configuration error ends with status $status, not 2"
kill "$sim_pid"
wait "$sim_pid" || true
sim_pid=""

echo "== remove and purge"
systemctl enable vemoswrd >/dev/null 2>&1 || fail "the unit cannot be enabled"
apt-get -o DPkg::Lock::Timeout=600 remove -y -qq "${packages[@]}" >/dev/null
[ -e /etc/vemoswrd/vemoswrd.ini ] || fail "remove took the configuration"
[ -e /usr/sbin/vemoswrd ] && fail "remove left /usr/sbin/vemoswrd"
# Packages without conffiles are gone already; the others wait in state rc.
mapfile -t left_configured < <(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' \
  "${packages[@]}" 2>/dev/null | awk '$1 == "rc" { print $2 }')
[ ${#left_configured[@]} -eq 0 ] || dpkg --purge "${left_configured[@]}" >/dev/null
trap - EXIT
rm -rf "$scratch"
left=()
for path in /usr/bin/VemoSWR /usr/bin/vemoswr-cli /usr/bin/vemoswr-sim /usr/sbin/vemoswrd \
  /etc/vemoswrd "$unit" /usr/lib/sysusers.d/vemoswrd.conf /usr/share/doc/vemoswr \
  /usr/share/doc/vemoswrd /usr/share/applications/vemoswr.desktop \
  /etc/systemd/system/multi-user.target.wants/vemoswrd.service \
  /var/lib/systemd/deb-systemd-helper-enabled/vemoswrd.service.dsh-also \
  /var/lib/systemd/deb-systemd-helper-enabled/multi-user.target.wants/vemoswrd.service; do
  [ -e "$path" ] || [ -L "$path" ] && left+=("$path")
done
[ ${#left[@]} -eq 0 ] || fail "purge left: ${left[*]}"
# Debian keeps a system user after purge: its files may still exist elsewhere.
getent passwd vemoswrd >/dev/null || fail "purge removed the system user"
echo "== package check passed"
