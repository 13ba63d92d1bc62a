#!/usr/bin/env bash
# Installs the build to a temporary prefix and checks that a Linux desktop
# finds the program: the menu entry passes desktop-file-validate, its Exec
# names the installed program and its Icon the installed icon, which is the
# window's own picture.
# Usage: install_check.sh <build dir> <window icon svg>
set -euo pipefail
build=$1
window_icon=$2

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
exec_program=$(value Exec | cut -d' ' -f1)
[[ -x $root/prefix/bin/$exec_program ]] || fail "Exec names '$exec_program', which is not installed in bin/"
icon=$(value Icon)
[[ -f $icon_dir/$icon.svg ]] || fail "Icon names '$icon', but $icon_dir holds no $icon.svg"
cmp -s "$icon_dir/$icon.svg" "$window_icon" || fail "the menu icon is not the window's icon"
[[ $(value StartupWMClass) == "$exec_program" ]] ||
  fail "StartupWMClass '$(value StartupWMClass)' does not match the window class '$exec_program'"
echo "installed entry, icon and program check out"
