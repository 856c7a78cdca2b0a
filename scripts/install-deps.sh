#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, when missing.
set -euo pipefail
packages=(
  build-essential cmake pkg-config ccache clang
  libsdl2-dev qt6-base-dev libjpeg62-turbo-dev libgif-dev libpng-dev zlib1g-dev
  libfreetype-dev libfontconfig-dev fonts-liberation2 libasound2-dev libx11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-apps x11-utils xdotool imagemagick sox libjpeg-turbo-progs
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils libgl1-mesa-dri libxfixes-dev
  python3 tinyproxy curl
  libmicrohttpd-dev libcurl4-openssl-dev libxml2-dev nlohmann-json3-dev libsystemd-dev systemd
  ca-certificates openssl libssl-dev
  xscreensaver mate-screensaver dbus-bin dbus-daemon util-linux
  lintian dpkg-dev desktop-file-utils libxml2-utils groff-base
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
