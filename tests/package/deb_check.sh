#!/usr/bin/env bash
# The Debian package as a user gets it (Debian 12, as root): lintian reports
# no error; apt-get installs it; its menu entry and AppStream file pass their
# validators; the menu command, started by an unprivileged user in Xvfb,
# keeps the list in the per-user data folder; apt-get remove leaves no file
# of the package under /usr.
# Usage: deb_check.sh <package.deb>
set -euo pipefail
deb=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
fail() { echo "FAIL: $*" >&2; exit 1; }
[[ $(id -u) -eq 0 ]] || fail "installing a package needs root"
export DEBIAN_FRONTEND=noninteractive

# Errors fail; the warnings left are listed, with their reasons, in README.
lintian_report=$("$here/as-user" lintian --fail-on error "$deb" 2>&1) || fail "lintian: $lintian_report"
echo "lintian: ${lintian_report:-no tags}"

name=$(dpkg-deb -f "$deb" Package)
version=$(dpkg-deb -f "$deb" Version)
remove() { apt-get remove -y -qq "$name" >/dev/null; }
# A package an earlier, failed run left goes first; this run's goes at the end.
if dpkg -s "$name" >/dev/null 2>&1; then remove; fi
trap 'dpkg -s "$name" >/dev/null 2>&1 && remove' EXIT
apt-get install -y -qq "$deb" >/dev/null
files=$(dpkg -L "$name")

desktop=/usr/share/applications/dorv-launcher.desktop
report=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $report"
[[ -z $report ]] || fail "desktop-file-validate: $report"
report=$(appstreamcli validate --no-net /usr/share/metainfo/org.dorv.launcher.metainfo.xml 2>&1) ||
  fail "appstreamcli: $report"
[[ $(dorv-launcher --version) == "dorv-launcher $version" ]] || fail "dorv-launcher --version says '$(dorv-launcher --version)', the package $version"
"$here/as-user" python3 "$here/package_e2e.py" menu --command "$(sed -n 's/^Exec=//p' "$desktop")"

remove
left=()
while IFS= read -r path; do
  [[ $path == /usr/* && ( -f $path || -L $path ) ]] && left+=("$path")
done <<<"$files"
for folder in /usr/libexec/dorv-launcher /usr/share/doc/dorv-launcher; do
  [[ -e $folder ]] && left+=("$folder")
done
((${#left[@]} == 0)) || fail "apt-get remove left ${left[*]}"
echo "the Debian package installs, starts from its menu entry and goes without a trace"
