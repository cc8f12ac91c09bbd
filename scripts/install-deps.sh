#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the program need.
# Idempotent: only missing packages are installed, and the package lists are
# refreshed only when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  # media engine: headers at build time, libraries loaded at run time
  libavcodec-dev libavformat-dev libavfilter-dev libavdevice-dev
  libswscale-dev libswresample-dev libavutil-dev libmfx1
  # compression, text
  zlib1g-dev libbz2-dev libicu-dev libfmt-dev
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # graphics and pictures; faces: DejaVu for unknown names, Liberation for the faces window definitions name
  libfreetype-dev libfontconfig1-dev fonts-dejavu-core fonts-liberation2
  libpng-dev libjpeg62-turbo-dev libgif-dev libtiff-dev
  # display backend (Xlib with the shape and shared-memory extensions), display tests, opening files
  libx11-dev libxext-dev libxtst-dev xvfb xauth xdg-utils
  # a small window manager: the display tests show the program's windows with one too
  evilwm
  # database engine's differential tests and benchmarks only (never linked into the program)
  libsqlite3-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
