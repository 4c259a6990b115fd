#!/usr/bin/env bash
# The installer under Wine's msiexec, in a Wine prefix of its own made anew
# for each run: a quiet install puts the files, the Start menu shortcut, the
# Settings entry and the PATH entry in place and stretch.exe runs from a new
# console; a newer version replaces it in place; the older one is refused
# over the newer; a repair brings back a deleted program; the uninstall
# leaves nothing of Stretchwell behind. The newer version is the same files
# packed again with the version's last number raised.
#
#   InstallerTest.sh PROJECT_ROOT WINDOWS_BUILD_FOLDER
set -uo pipefail
root=$1
build=$2
work="$build/installer-test"
failed=0
fail() {
  printf 'FAIL: %s\n' "$*" >&2
  failed=1
}

export WINEPREFIX="$work/prefix" WINEDEBUG=-all
# No Mono or Gecko prompts; and no winemenubuilder, which would mirror the
# Start menu shortcut into the Linux desktop's menus outside the prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The prefix's own wineserver, kept up for the run (each start is then fast).
trap 'wineserver -k >/dev/null 2>&1' EXIT
rm -rf "$work"
mkdir -p "$work"
# The prefix is made (most of the run's time) while the packages are built.
wineboot -i >/dev/null 2>&1 &
boot=$!

win() { wine "$@" 2>/dev/null | tr -d '\r'; }
msiexec() { wine msiexec "$@" >/dev/null 2>&1; }
# What wine reports is the Windows exit code modulo 256.
code_of() { echo $(($1 & 255)); }
reg_has() { wine reg query "$1" >/dev/null 2>&1; }
# The value NAME from the text of one `reg query KEY`.
value_in() { sed -n "s/^    $2    REG_[A-Z_]*    //p" <<<"$1"; }
user_path_entries() {  # the user's PATH, one entry a line, empty entries left out
  value_in "$(win reg query 'HKCU\Environment' /v PATH)" PATH | tr ';' '\n' | sed '/^$/d'
}

# The release as scripts/package makes it, and the newer version of the same files.
version=$(sed -n 's/^project(Stretchwell VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
newer="${version%.*}.$((${version##*.} + 1))"
bash "$root/scripts/package" --from "$build" --to "$work/dist" >/dev/null || { echo "FAIL: scripts/package" >&2; exit 1; }
old_msi="$work/dist/Stretchwell-$version-x64.msi"
new_msi="$work/dist/Stretchwell-$newer-x64.msi"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
  "$work/dist/Stretchwell-$version-win64.zip" "$work/unpacked"
release="$work/unpacked/Stretchwell-$version-win64"
/usr/bin/python3 "$root/packaging/build-msi" --version "$newer" --files "$release" --icon "$root/ui/Stretchwell.ico" \
  --epoch 0 -o "$new_msi" || { echo "FAIL: packaging/build-msi --version $newer" >&2; exit 1; }
product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }
old_code=$(product_code "$old_msi")
new_code=$(product_code "$new_msi")
wait $boot
wineserver -p >/dev/null 2>&1
# The Installer's key of a product: its code's hex digits in the packed order.
packed() { python3 -c 'import sys; h = sys.argv[1].strip("{}").replace("-", "")
print(h[7::-1] + h[11:7:-1] + h[15:11:-1] + "".join(h[i + 1] + h[i] for i in range(16, 32, 2)))' "$1"; }
# Wine keeps every product's Settings entry here, a per-user one too.
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
products='HKCU\Software\Microsoft\Installer\Products'

# Where the user's folders are in this prefix.
folders=$(win cmd /c 'echo %LOCALAPPDATA%& echo %APPDATA%')
local_win=$(sed -n 1p <<<"$folders")
dir_win="$local_win\\Programs\\Stretchwell"
local_unix=$(win winepath -u "$local_win")
appdata_unix=$(win winepath -u "$(sed -n 2p <<<"$folders")")
dir="$local_unix/Programs/Stretchwell"
shortcut="$appdata_unix/Microsoft/Windows/Start Menu/Programs/Stretchwell.lnk"
[ -n "$local_win" ] && [ -d "$local_unix" ] && [ -d "$appdata_unix" ] || { echo "FAIL: no profile folders in $WINEPREFIX" >&2; exit 1; }
[ ! -e "$local_unix/Programs" ] || fail "the new prefix has a Programs folder already"
# A PATH of the user's own, which the installer adds to and leaves.
wine reg add 'HKCU\Environment' /v PATH /d 'C:\tools' /f >/dev/null 2>&1

installed_as() {  # VERSION CODE: the files, the shortcut, the Settings entry
  local version=$1 code=$2 file
  [ "$(ls "$dir" 2>/dev/null | LC_ALL=C sort | tr '\n' ' ')" = "LICENSE.txt README.txt Stretchwell.exe THIRD-PARTY-NOTICES.txt stretch.exe " ] ||
    fail "$version: the folder holds: $(ls "$dir" 2>&1 | tr '\n' ' ')"
  for file in Stretchwell.exe stretch.exe README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt; do
    cmp -s "$release/$file" "$dir/$file" || fail "$version: $file is not the release's"
  done
  [ "$(ls "${shortcut%/*}" | grep -c -i stretchwell)" = 1 ] || fail "$version: not one Stretchwell shortcut in the Start menu"
  # The shortcut's strings (UTF-16): its description, working folder and icon.
  local strings
  strings=$(python3 -c 'import re, sys
data = open(sys.argv[1], "rb").read()
print("\n".join(re.findall(r"[ -~]{4,}", data.decode("utf-16-le", "replace") + data[1:].decode("utf-16-le", "replace"))))' "$shortcut" 2>/dev/null)
  grep -q -F 'Enlarges or shrinks a BMP or JPEG picture' <<<"$strings" || fail "$version: the shortcut has no description"
  grep -q -F "$dir_win\\" <<<"$strings" || fail "$version: the shortcut does not start in $dir_win"
  grep -q -i 'Stretchwell\.ico$' <<<"$strings" || fail "$version: the shortcut has no icon"
  grep -a -q -F "$dir_win\\Stretchwell.exe" "$shortcut" || fail "$version: the shortcut does not start $dir_win\\Stretchwell.exe"

  local entry
  entry=$(win reg query "$uninstall\\$code")
  [ -n "$entry" ] || { fail "$version: no Settings entry $code"; return; }
  [ "$(value_in "$entry" DisplayName)" = Stretchwell ] || fail "$version: the entry's name is $(value_in "$entry" DisplayName)"
  [ "$(value_in "$entry" DisplayVersion)" = "$version" ] || fail "$version: the entry's version is $(value_in "$entry" DisplayVersion)"
  [ "$(value_in "$entry" Publisher)" = "The Stretchwell developers" ] || fail "$version: the entry's publisher is $(value_in "$entry" Publisher)"
  [ "$(value_in "$entry" InstallLocation)" = "$dir_win\\" ] || fail "$version: the entry's folder is $(value_in "$entry" InstallLocation)"
  [ "$(value_in "$entry" NoModify)" = 0x1 ] || fail "$version: the entry offers a Modify"
  [ "$(value_in "$entry" UninstallString)" = "MsiExec.exe /X$code" ] || fail "$version: the entry uninstalls with $(value_in "$entry" UninstallString)"
  local icon
  icon=$(value_in "$(win reg query "$products\\$(packed "$code")" /v ProductIcon)" ProductIcon)
  cmp -s "$(win winepath -u "$icon")" "$root/ui/Stretchwell.ico" || fail "$version: the entry's icon ($icon) is not the program's"
  [ "$(user_path_entries | grep -c -i -x -F "$dir_win\\")" = 1 ] || fail "$version: PATH is: $(user_path_entries | tr '\n' ';')"
  user_path_entries | grep -q -x -F 'C:\tools' || fail "$version: the user's own PATH entry is gone"
}

# A quiet install, and stretch.exe from a new console.
msiexec /i "$old_msi" /qn || fail "installing $version"
installed_as "$version" "$old_code"
[ "$(win cmd /c 'stretch --version' | head -n 1)" = "stretch $version" ] || fail "a new console runs no stretch $version from PATH"

# The newer version in place of the older.
msiexec /i "$new_msi" /qn || fail "installing $newer over $version"
installed_as "$newer" "$new_code"
reg_has "$uninstall\\$old_code" && fail "$version's Settings entry is still there"
reg_has "$products\\$(packed "$old_code")" && fail "$version is still registered"

# The older one over the newer: refused at its launch condition (1603), the newer one untouched.
msiexec /i "$old_msi" /qn /l*v "$work/downgrade.log"
rc=$?
[ $rc = "$(code_of 1603)" ] || fail "installing $version over $newer ended with $rc, not 1603"
grep -a -q -F "WIX_DOWNGRADE_DETECTED = $new_code" "$work/downgrade.log" || fail "installing $version did not find $newer installed"
reg_has "$uninstall\\$old_code" && fail "$version got installed over $newer"
installed_as "$newer" "$new_code"

# A repair brings back a deleted program. (Wine's msiexec takes /f only with
# a product code and then does nothing, "not implemented"; these properties
# are what /fa sets.)
rm -f "$dir/stretch.exe"
msiexec /i "$new_msi" REINSTALL=ALL REINSTALLMODE=a /qn || fail "repairing $newer"
cmp -s "$release/stretch.exe" "$dir/stretch.exe" || fail "the repair did not bring back stretch.exe"

# Nothing of Stretchwell after the uninstall: no file, folder, shortcut,
# registry value or PATH entry.
msiexec /x "$new_msi" /qn || fail "uninstalling $newer"
[ ! -e "$local_unix/Programs" ] || fail "left behind: $(find "$local_unix/Programs" | tr '\n' ' ')"
[ ! -e "$shortcut" ] || fail "the Start menu shortcut is left behind"
# Wine leaves the separators of a removed entry (C:\tools;;); Windows takes them too.
[ "$(user_path_entries | tr '\n' ';')" = 'C:\tools;' ] || fail "PATH after the uninstall: $(user_path_entries | tr '\n' ';')"
wineserver -k >/dev/null 2>&1  # writes the registry out
left=$(grep -i -n -e stretchwell -e "${new_code//[{\}]/}" -e "$(packed "$new_code")" "$WINEPREFIX"/*.reg | cut -c1-200)
[ -z "$left" ] || fail "left in the registry:
$left"
left=$(find "$WINEPREFIX/drive_c" -iname '*stretch*' -o -path '*/windows/Installer/*' | head)
[ -z "$left" ] || fail "left in the prefix: $left"

# The prefix (some 700 MB) stays only for a look at what failed.
[ $failed -eq 0 ] && rm -rf "$work" && echo "installed, upgraded $version -> $newer, refused $version over $newer, repaired and removed"
exit $failed
