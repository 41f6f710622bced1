#!/usr/bin/env bash
# Installs the Debian packages the Windows cross-build and its tests need.
exec "$(dirname "$0")/install-deps.sh" --windows
