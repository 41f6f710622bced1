#!/usr/bin/env bash
# Rehearses the test command on a new machine without changing this one for
# good: clones the checkout into a temporary folder and runs scripts/test.sh
# there with what a new machine lacks taken away:
#   - an empty Windows cache (PX316T_WINDOWS_CACHE in the temporary folder),
#   - the compiler cache off (CCACHE_DISABLE=1),
#   - an apt configuration of its own (APT_CONFIG): this machine's source lines
#     without the project's own source-line file, and empty package lists, so
#     apt knows no source package until the test command has added the lines
#     and updated. The system's /etc/apt is not touched; packages the command
#     installs stay installed.
# Prints each stage's wall time and the total; the exit status is the test
# command's.
#   scripts/fresh-check.sh [--keep]     (--keep leaves the temporary folder)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
keep=0
[ "${1:-}" = --keep ] && keep=1

work=$(mktemp -d "${TMPDIR:-/tmp}/px316t-fresh-XXXXXX")
cleanup() { [ "$keep" = 1 ] && echo "kept $work" || rm -rf "$work"; }
trap cleanup EXIT

# apt as a new machine has it: the system's sources minus ours, no lists.
eval "$(apt-config shell sys_parts Dir::Etc::sourceparts/d sys_list Dir::Etc::sourcelist/f)"
mkdir -p "$work/apt/sources.list.d" "$work/apt/lists/partial"
# apt downloads as the user _apt, which must reach the lists folder.
chmod 755 "$work" "$work/apt" "$work/apt/lists"
for f in "$sys_parts"/*.list "$sys_parts"/*.sources; do
  [ -f "$f" ] && [ "$(basename "$f")" != px316t-deb-src.sources ] && cp "$f" "$work/apt/sources.list.d/"
done
[ -f "$sys_list" ] && cp "$sys_list" "$work/apt/sources.list"
cat >"$work/apt/apt.conf" <<CONF
Dir::Etc::sourcelist "$work/apt/sources.list";
Dir::Etc::sourceparts "$work/apt/sources.list.d";
Dir::State::lists "$work/apt/lists";
CONF
export APT_CONFIG="$work/apt/apt.conf"
if apt-cache showsrc sqlite3 2>/dev/null | grep -q '^Version:'; then
  echo "fresh-check: the rehearsal's apt still knows source packages" >&2
  exit 1
fi

git clone -q "$here" "$work/src"
# Uncommitted changes are not part of the rehearsal: it tries what would land.
export PX316T_WINDOWS_CACHE="$work/windows-cache" CCACHE_DISABLE=1
mkdir -p "$PX316T_WINDOWS_CACHE"

# Runs the command, keeps its output in a log, and notes when each stage (a
# line starting with "== ") begins.
start=$(date +%s)
echo "$start install" >"$work/stages"
set +e
(cd "$work/src" && scripts/test.sh) 2>&1 | tee "$work/test.log" | while IFS= read -r line; do
  printf '%s\n' "$line"
  [[ $line == "== "* ]] && echo "$(date +%s) ${line#== }" >>"$work/stages"
done
status=${PIPESTATUS[0]}
set -e
end=$(date +%s)
echo "$end end" >>"$work/stages"

echo
echo "fresh-check: wall time per stage"
prev_t=""; prev_name=""
while read -r t name; do
  [ -n "$prev_t" ] && printf '  %5s s  %s\n' "$((t - prev_t))" "$prev_name"
  prev_t=$t; prev_name=$name
done <"$work/stages"
echo "fresh-check: total $((end - start)) s, exit status $status"
exit "$status"
