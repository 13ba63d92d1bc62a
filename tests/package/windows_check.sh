#!/usr/bin/env bash
# The Windows packages: no shipped binary keeps debug sections, the program
# uses the shipped C++ runtime (one runtime, not a static copy besides), the
# program and the installer carry the version, and
# the installer installs, starts, upgrades and uninstalls under Wine as an
# unprivileged user (package_e2e.py installer).
# Usage: windows_check.sh <zip> <setup.exe> <stand-in catalogue.exe> <version>
set -euo pipefail
zip=$(realpath "$1") setup=$(realpath "$2") catalogue=$(realpath "$3") version=$4
here=$(dirname "$(realpath "$0")")
fail() { echo "FAIL: $*" >&2; exit 1; }

unpacked=$(mktemp -d "${TMPDIR:-/tmp}/dorv-zip.XXXXXX")
trap 'rm -rf "$unpacked"' EXIT
python3 -m zipfile -e "$zip" "$unpacked"
objdump=x86_64-w64-mingw32-objdump
count=0
while IFS= read -r -d '' binary; do
  debug=$($objdump -h "$binary" | awk '$2 ~ /^\.debug/ { printf "%s ", $2 }')
  [[ -z $debug ]] || fail "${binary#"$unpacked"/} keeps debug sections: $debug"
  count=$((count + 1))
done < <(find "$unpacked" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0)
((count > 0)) || fail "the zip holds no program"
program=$unpacked/dorv-launcher/dorv-launcher.exe
grep -q 'DLL Name: libstdc++-6.dll' <<<"$($objdump -p "$program")" ||
  fail "dorv-launcher.exe carries its own C++ runtime instead of the shipped libstdc++-6.dll"
echo "$count binaries without debug sections; the program uses the shipped C++ runtime"
# The project's version, in the program's version information and the installer's.
for exe in "$program" "$setup"; do
  [[ $(strings -el -n 3 "$exe" | grep -A1 -x ProductVersion | sed -n 2p) == "$version" ]] ||
    fail "$(basename "$exe") does not carry the version $version in its version information"
done

"$here/as-user" python3 "$here/package_e2e.py" installer --setup "$setup" --zip "$zip" \
  --catalogue "$catalogue" --version "$version"
