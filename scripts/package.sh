#!/usr/bin/env bash
# Builds the Debian package px316t_<version>_<arch>.deb with CPack:
#
#     scripts/package.sh [--check] [BUILD_DIR]
#
# BUILD_DIR (default build/) is configured and built as the normal build if
# needed, so the package comes from the build the tests ran on. The package is
# written to BUILD_DIR/package/. With --check the package is also checked: its
# contents, Debian's package checks (lintian: no errors), the desktop entry
# (desktop-file-validate), the AppStream metainfo (appstreamcli), the MIME type
# of table files, the man pages, its dependencies (apt-get --simulate install,
# as root), and an install into a scratch root whose programs start (--help,
# and the window headless for a second).
#
# Install it with:  apt install ./build/package/px316t_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

check=false
build=build
for arg in "$@"; do
  case $arg in
    --check) check=true ;;
    -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) build=$arg ;;
  esac
done

scripts/install-deps.sh
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
fi
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/package/px316t_*.deb
(cd "$build" && cpack -G DEB >"package-cpack.log" 2>&1) || { cat "$build/package-cpack.log"; exit 1; }
deb=$(ls "$build"/package/px316t_*.deb)
echo "package: $deb"
$check || exit 0

fail() { echo "package check failed: $*" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

echo "== package contents"
dpkg-deb --field "$deb" Package Version Architecture Depends
dpkg-deb --contents "$deb" | awk '{print $6}' > "$scratch/contents"
app_id=org.px316t.ServiceTool
for f in ./usr/bin/px316t ./usr/bin/px316t-cli ./usr/bin/px316t-board-emulator \
         ./usr/share/man/man1/px316t.1.gz ./usr/share/man/man1/px316t-cli.1.gz \
         ./usr/share/man/man1/px316t-board-emulator.1.gz \
         ./usr/share/doc/px316t/copyright ./usr/share/doc/px316t/changelog.Debian.gz \
         ./usr/share/doc/px316t/README.md.gz ./usr/share/mime/packages/$app_id.xml \
         ./usr/share/applications/$app_id.desktop ./usr/share/metainfo/$app_id.metainfo.xml \
         ./usr/share/icons/hicolor/scalable/apps/$app_id.svg \
         ./usr/share/icons/hicolor/48x48/apps/$app_id.png ./usr/share/icons/hicolor/256x256/apps/$app_id.png; do
  grep -qx "$f" "$scratch/contents" || fail "$f is missing"
done
# Every program has its man page.
for program in $(grep '^\./usr/bin/.' "$scratch/contents" | xargs -n1 basename); do
  grep -qx "./usr/share/man/man1/$program.1.gz" "$scratch/contents" || fail "no man page for $program"
done
depends=$(dpkg-deb --field "$deb" Depends)
for lib in libqt6widgets6 libqt6serialport6 libsqlite3-0 qt6-qpa-plugins; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
echo "contents and dependencies: ok"

echo "== lintian"
# Errors fail the check; the warnings left are printed (the README says why
# each is kept).
status=0
lintian --tag-display-limit 0 --fail-on error "$deb" >"$scratch/lintian.log" 2>&1 || status=$?
grep -v '^running with root privileges' "$scratch/lintian.log" || true
[ "$status" -eq 0 ] || fail "lintian reports errors"
echo "lintian: no errors"

echo "== desktop entry, MIME type and metainfo"
dpkg-deb -x "$deb" "$scratch/root"
desktop=$scratch/root/usr/share/applications/$app_id.desktop
desktop-file-validate "$desktop" || fail "desktop entry"
# A table file passed by the desktop opens in the window, whose class the entry names.
grep -qx 'Exec=px316t %f' "$desktop" || fail "the desktop entry does not pass a file"
mime=$(sed -n 's/^MimeType=\(.*\);$/\1/p' "$desktop")
grep -q "<mime-type type=\"$mime\">" "$scratch/root/usr/share/mime/packages/$app_id.xml" || fail "MimeType $mime is not declared"
grep -q '<glob pattern="\*.tbl"/>' "$scratch/root/usr/share/mime/packages/$app_id.xml" || fail "no *.tbl glob"
if command -v xmllint >/dev/null; then
  xmllint --noout "$scratch/root/usr/share/mime/packages/$app_id.xml" || fail "MIME type file"
fi
wm_class=$(sed -n 's/^StartupWMClass=//p' "$desktop")
appstreamcli validate --no-net "$scratch/root/usr/share/metainfo/$app_id.metainfo.xml" || fail "metainfo"
for page in "$scratch"/root/usr/share/man/man1/*.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null || true)
  [ -z "$warnings" ] || fail "man page $(basename "$page"): $warnings"
done
echo "desktop entry, metainfo and man pages: ok"

if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
  echo "== dependencies resolvable"
  apt-get install --simulate --no-install-recommends "./$deb" >"$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log"; fail "apt cannot install it"; }
  echo "apt-get --simulate install: ok"
fi

echo "== programs from the scratch root"
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/.config XDG_DATA_HOME=$scratch/home/.local/share
mkdir -p "$HOME"
for program in "$scratch"/root/usr/bin/*; do
  "$program" --help >"$scratch/help" 2>&1 || fail "$(basename "$program") --help failed"
  grep -q "Usage" "$scratch/help" || fail "$(basename "$program") --help printed no usage"
done
"$scratch/root/usr/bin/px316t" --version
# The window stays up until stopped: still running after a second is a pass.
status=0
QT_QPA_PLATFORM=offscreen timeout 1 "$scratch/root/usr/bin/px316t" >"$scratch/window.log" 2>&1 || status=$?
[ "$status" -eq 124 ] || { cat "$scratch/window.log"; fail "the window ended with status $status within a second"; }
echo "programs start: ok"

if command -v xvfb-run >/dev/null && command -v xdotool >/dev/null; then
  echo "== the window's class under X"
  # The window's WM_CLASS must be the desktop entry's StartupWMClass, or the
  # desktop cannot tie the window to its launcher.
  # Its own settings folders, so no port link of this machine is probed, and a
  # second try when the first virtual display did not come up in time.
  # The test command runs the suites offscreen; this window must reach X.
  cat >"$scratch/wm-class.sh" <<SCRIPT
unset QT_QPA_PLATFORM
export XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data"
"$scratch/root/usr/bin/px316t" >/dev/null 2>&1 &
pid=\$!
found=1
timeout 20 xdotool search --sync --class "^$wm_class\$" >/dev/null && found=0
kill \$pid
exit \$found
SCRIPT
  xvfb-run -a bash "$scratch/wm-class.sh" || xvfb-run -a bash "$scratch/wm-class.sh" ||
    fail "no window of class $wm_class"
  echo "window class $wm_class: ok"
fi
