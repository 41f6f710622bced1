#!/usr/bin/env bash
# Installs the Debian packages the Windows cross-build and its tests need:
# MinGW-w64 (POSIX threads), wine to run the programs, and tclsh, which makes
# SQLite's single-file source. Installs only what is missing.
#   scripts/windows-deps.sh           what the cross-build and its tests need
#   scripts/windows-deps.sh package   also what scripts/windows.sh packs and
#                                     checks the zip with: zip, nsis, the fonts, a
#                                     virtual display and its screenshot tools
set -euo pipefail

packages=(g++-mingw-w64-x86-64-posix wine wine64 tcl make)
if [ "${1:-}" = package ]; then
  packages+=(zip unzip nsis fonts-liberation fonts-dejavu-core xvfb xauth xdotool imagemagick)
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
