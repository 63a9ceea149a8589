#!/usr/bin/env bash
# Installs, with apt-get, every Debian 12 package that building, testing and
# running Quorvel needs. Safe to run again: it only installs what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev libxkbcommon-dev
  libcurl4-openssl-dev curl
  libgtest-dev libgmock-dev libcpp-httplib-dev
  python3 python3-pyftpdlib
  iproute2 iputils-ping procps traceroute
  xdg-utils shared-mime-info
  fonts-dejavu-core xvfb x11-apps imagemagick
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything is installed"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
