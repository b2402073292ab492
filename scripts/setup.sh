#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
# Safe to run again: with everything present it changes nothing.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-ipafont-gothic fonts-ipafont-mincho fontconfig
  xvfb xauth openbox xdotool x11-utils libxcb1-dev qt6-translations-l10n
  help2man dpkg-dev file lintian desktop-file-utils appstream
  python3
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "setup: missing packages: ${missing[*]}; run as root or install them with apt-get" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
