#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need.
# Installs only what is missing, so a second run changes nothing.
# With --windows: what the Windows cross-build and its tests need instead
# (MinGW-w64 with POSIX threads, wine to run the programs, tclsh, which makes
# SQLite's single-file source, and a PostgreSQL server for the shared batch).
# With --windows-package: that and what scripts/windows.sh packs and checks
# the Windows zip with (zip, nsis, the fonts, a virtual display and its
# screenshot tools, and what reads a label's barcodes and a report's text).
set -euo pipefail

if [ "${1:-}" = --windows ] || [ "${1:-}" = --windows-package ]; then
  packages=(g++-mingw-w64-x86-64-posix wine wine64 tcl make postgresql)
  if [ "$1" = --windows-package ]; then
    packages+=(zip unzip nsis fonts-liberation fonts-dejavu-core xvfb xauth xdotool imagemagick
               zbar-tools poppler-utils)   # the labels' barcodes read back, the report's text
  fi
else
  packages=(
    g++ cmake ninja-build pkg-config ccache   # ccache: the three builds of the tests share what compiles the same
    qt6-base-dev qt6-serialport-dev libgl-dev
    libgtest-dev libgmock-dev
    libsqlite3-dev libpq-dev libssl-dev libicu-dev
    libzint-dev zbar-tools poppler-utils   # label barcodes; the tests scan them back from a rendered PDF
    postgresql
    fonts-liberation fonts-dejavu-core
    fonts-unifont   # draws the control pictures, DEL and the C1 controls of prompt boxes each its own way
    xvfb xauth
    sigrok-cli
    imagemagick xdotool   # screenshots when trying the program under a virtual display
    clang libclang-rt-14-dev
    dpkg-dev desktop-file-utils appstream librsvg2-bin man-db groff-base help2man lintian
  )
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
