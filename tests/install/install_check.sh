#!/usr/bin/env bash
# Installs the build to a temporary prefix and checks that a Linux desktop
# finds the program: the menu entry passes desktop-file-validate, its Exec
# names the installed start script, which runs the installed program in the
# per-user data folder it makes, its Icon the installed icon, which is the
# window's own picture; the AppStream file passes appstreamcli.
# Usage: install_check.sh <build dir> <window icon svg> <project version>
set -euo pipefail
build=$1
window_icon=$2
project_version=$3

root=$(mktemp -d "${TMPDIR:-/tmp}/dorv-install.XXXXXX")
trap 'rm -rf "$root"' EXIT
export HOME=$root/home XDG_CONFIG_HOME=$root/config XDG_DATA_HOME=$root/data
cd "$root"

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$root/prefix" >"$root/install.log" 2>&1 ||
  { cat "$root/install.log" >&2; fail "cmake --install failed"; }

desktop=$root/prefix/share/applications/dorv-launcher.desktop
icon_dir=$root/prefix/share/icons/hicolor/scalable/apps
[[ -f $desktop ]] || fail "no menu entry at share/applications/dorv-launcher.desktop"

command -v desktop-file-validate >/dev/null || fail "desktop-file-validate is not installed (desktop-file-utils)"
report=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate rejects the entry: $report"
if grep -Eq '(error|warning):' <<<"$report"; then fail "desktop-file-validate: $report"; fi

value() { sed -n "s/^$1=//p" "$desktop" | head -n 1; }
start=$(value Exec)
[[ $start == "$root/prefix/"* && -x $start ]] || fail "Exec names '$start', not a program installed in the prefix"
# A relative XDG_DATA_HOME is ignored, as the base-directory rules say.
for data_home in "$root/data" relative; do
  folder=$root/data/dorv-launcher
  [[ $data_home == relative ]] && folder=$HOME/.local/share/dorv-launcher
  version=$(XDG_DATA_HOME=$data_home "$start" --version) || fail "$start --version failed"
  [[ $version == "dorv-launcher $project_version" ]] || fail "the start script's program says '$version'"
  [[ -d $folder ]] || fail "the start script made no $folder (XDG_DATA_HOME=$data_home)"
done
grep -q "^exec \"$root/prefix/bin/dorv-launcher\"" "$start" || fail "$start does not start the installed program"
icon=$(value Icon)
[[ -f $icon_dir/$icon.svg ]] || fail "Icon names '$icon', but $icon_dir holds no $icon.svg"
cmp -s "$icon_dir/$icon.svg" "$window_icon" || fail "the menu icon is not the window's icon"
[[ $(value StartupWMClass) == dorv-launcher ]] ||
  fail "StartupWMClass '$(value StartupWMClass)' does not match the window class dorv-launcher"
metainfo=$root/prefix/share/metainfo/org.dorv.launcher.metainfo.xml
report=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli rejects $metainfo: $report"
grep -q "<launchable type=\"desktop-id\">dorv-launcher.desktop<" "$metainfo" || fail "the AppStream file names another menu entry"
echo "installed entry, start script, icon, AppStream file and program check out"
