#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the Debian packages the build and the tests need, only those missing.
set -euo pipefail

packages=(cmake make g++ pkg-config qt6-base-dev qt6-svg-dev qt6-image-formats-plugins
          libwmf-dev libemf2svg-dev libuemf-dev libseccomp-dev libgtest-dev libgmock-dev libbenchmark-dev
          xvfb xauth xdotool imagemagick libx11-dev libxdamage-dev zlib1g-dev fonts-dejavu-core
          dpkg-dev lintian desktop-file-utils appstream x11-utils man-db
          shared-mime-info libglib2.0-bin
          openbox fonts-liberation fonts-urw-base35 libfontconfig-dev nlohmann-json3-dev
          python3 python3-jsonschema python3-pyatspi at-spi2-core dbus)
packages+=("$@") # extra ones a CI step needs, e.g. the fuzz build's compiler

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
