#!/usr/bin/env bash
# Installs the Debian packages Tavisto needs to build, run and test, when missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config clang-format
  googletest libgtest-dev libbenchmark-dev
  qt6-base-dev qt6-webengine-dev libgl-dev libfontconfig-dev
  libzip-dev zip unzip libexpat1-dev
  clang libclang-rt-14-dev
  xvfb xauth fonts-liberation fonts-dejavu-core
  desktop-file-utils appstream openbox
  libhyphen-dev hyphen-ru hyphen-en-us
  qt6-tools-dev qt6-l10n-tools qt6-tools-dev-tools qt6-translations-l10n
  qt6-speech-dev qt6-speech-speechd-plugin speech-dispatcher espeak-ng
  libx11-dev libxtst-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO=sudo; else
    echo "Please install as root: apt-get install ${missing[*]}" >&2; exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y "${missing[@]}"
