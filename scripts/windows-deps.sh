#!/usr/bin/env bash
# Installs the Debian packages the Windows cross-build and its tests need.
#   scripts/windows-deps.sh package   also what scripts/windows.sh packs and
#                                     checks the zip with
if [ "${1:-}" = package ]; then
  exec "$(dirname "$0")/install-deps.sh" --windows-package
fi
exec "$(dirname "$0")/install-deps.sh" --windows
