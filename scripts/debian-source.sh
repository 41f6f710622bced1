#!/bin/sh
# Makes sure apt can fetch a Debian source package, and prints the newest
# version of it that apt knows:
#   scripts/debian-source.sh PACKAGE
# Every script that runs `apt-get source` asks this first, so the order of the
# scripts does not matter. When apt knows no source for PACKAGE, Debian's
# source lines are added to apt's source folder (only when no source line is
# configured at all) and `apt-get update` runs once. Honours APT_CONFIG, so a
# rehearsal with an apt configuration of its own gets its own source lines.
set -eu
package=${1:?usage: debian-source.sh PACKAGE}

as_root=""
[ "$(id -u)" -ne 0 ] && as_root=sudo

known_version() {
  apt-cache showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n 1
}

version=$(known_version)
if [ -z "$version" ]; then
  # Where apt reads its sources from (a rehearsal may point these elsewhere).
  eval "$(apt-config shell parts Dir::Etc::sourceparts/d list Dir::Etc::sourcelist/f)"
  parts=${parts%/}
  if ! grep -qs '^Types:.*deb-src\|^deb-src' "$list" "$parts"/*.list "$parts"/*.sources; then
    echo "debian-source: adding Debian's source lines ($parts/px316t-deb-src.sources)" >&2
    $as_root mkdir -p "$parts"
    $as_root tee "$parts/px316t-deb-src.sources" >/dev/null <<'LINES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
LINES
  fi
  $as_root apt-get -o DPkg::Lock::Timeout=600 update -qq >&2
  version=$(known_version)
fi
[ -n "$version" ] || { echo "debian-source: apt knows no source package $package, even after adding Debian's source lines and apt-get update" >&2; exit 1; }
echo "$version"
