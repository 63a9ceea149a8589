#!/usr/bin/env bash
# Installs, with apt-get, every Debian 12 package that building, testing and
# running Quorvel needs, then the npm packages of the tests (scripts/install-npm.sh).
# Safe to run again: it only installs what is missing.
#
# Packages that come with a system service (prometheus, prometheus-node-exporter) are
# installed with services held back: the tests start their own servers on loopback, and
# nothing of the machine's is started.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libgl-dev libxkbcommon-dev
  libcurl4-openssl-dev curl openssl ca-certificates
  libgtest-dev libgmock-dev libcpp-httplib-dev
  python3 python3-pyftpdlib
  iproute2 iputils-ping procps traceroute mtr-tiny
  xdg-utils shared-mime-info
  fonts-dejavu-core xvfb x11-apps imagemagick xdotool openbox
  clang-14 libclang-rt-14-dev
  nginx-light
  dpkg-dev file lintian appstream desktop-file-utils man-db
  prometheus prometheus-node-exporter
  nodejs npm
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
# Node.js and npm may come with the machine from elsewhere than Debian: then they stay.
if command -v node >/dev/null && command -v npm >/dev/null; then
  kept=()
  for p in "${missing[@]}"; do
    case "$p" in nodejs | npm) ;; *) kept+=("$p") ;; esac
  done
  missing=("${kept[@]+"${kept[@]}"}")
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: every Debian package is installed"
else
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # No service may start during the installation: a policy that refuses every start stands
  # in for the machine's own (if it has one) until the installation is over.
  policy=/usr/sbin/policy-rc.d
  saved="$policy.quorvel-saved"
  if [ -e "$policy" ]; then $SUDO mv "$policy" "$saved"; fi
  restore_policy() {
    $SUDO rm -f "$policy"
    if [ -e "$saved" ]; then $SUDO mv "$saved" "$policy"; fi
  }
  trap restore_policy EXIT
  printf '#!/bin/sh\n# Quorvel install-deps.sh: no service starts while it installs.\nexit 101\n' |
    $SUDO tee "$policy" >/dev/null
  $SUDO chmod 755 "$policy"
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
  restore_policy
  trap - EXIT
fi

# The tests start prometheus and node_exporter themselves, on loopback ports of their own; a
# service of the machine's is only pointed out.
for daemon in prometheus prometheus-node-exporter; do
  if pgrep -x "$daemon" -u prometheus >/dev/null 2>&1; then
    echo "install-deps: note: a system service $daemon is running (the tests do not use it)" >&2
  fi
done

bash scripts/install-npm.sh
