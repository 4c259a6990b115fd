#!/usr/bin/env bash
# The Windows release archive packed from this build's programs: exactly the
# files a user gets, the programs being this build's with their resources,
# the texts with Windows line ends, and the notices libjpeg-turbo's licences
# require, word for word as its source package gives them. The installer
# beside it: the same files and what its tables make of them, the one version
# everywhere, and the same bytes from a second packing.
#
#   PackageTest.sh PROJECT_ROOT WINDOWS_BUILD_FOLDER
set -uo pipefail
root=$1
build=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failed=0
fail() {
  printf 'FAIL: %s\n' "$*" >&2
  failed=1
}

version=$(sed -n 's/^project(Stretchwell VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
bash "$root/scripts/package" --from "$build" --to "$out" >/dev/null || { echo "FAIL: scripts/package" >&2; exit 1; }
zip="$out/Stretchwell-$version-win64.zip"
msi="$out/Stretchwell-$version-x64.msi"
[ -f "$zip" ] || { echo "FAIL: no $zip" >&2; exit 1; }
[ -f "$msi" ] || { echo "FAIL: no $msi" >&2; exit 1; }

listed=$(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip")
expected="Stretchwell-$version-win64/
Stretchwell-$version-win64/LICENSE.txt
Stretchwell-$version-win64/README.txt
Stretchwell-$version-win64/Stretchwell.exe
Stretchwell-$version-win64/THIRD-PARTY-NOTICES.txt
Stretchwell-$version-win64/stretch.exe"
[ "$listed" = "$expected" ] || fail "the archive holds:
$listed"

python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$out/unpacked"
folder="$out/unpacked/Stretchwell-$version-win64"

# The programs: this build's code, without debugging information, with their
# version information (type 16) and manifest (type 24).
for program in ui/Stretchwell.exe cli/stretch.exe; do
  packed="$folder/${program#*/}"
  [ "$(head -c 2 "$packed")" = MZ ] || fail "$packed is no Windows program"
  x86_64-w64-mingw32-objdump -h "$packed" | grep -q '\.debug' && fail "$packed keeps debugging information"
  resources=$(wrestool -l "$packed" 2>&1)
  grep -q -- '--type=16 ' <<<"$resources" || fail "$packed has no version information"
  grep -q -- '--type=24 ' <<<"$resources" || fail "$packed has no manifest"
  x86_64-w64-mingw32-objcopy -O binary --only-section=.text "$build/$program" "$out/built.text"
  x86_64-w64-mingw32-objcopy -O binary --only-section=.text "$packed" "$out/packed.text"
  cmp -s "$out/built.text" "$out/packed.text" || fail "$packed is not the program of $build"
  # The version information's strings (UTF-16, aligned) and the manifest carry the project's version.
  shown=$(wrestool -x --raw --type=16 "$packed" | python3 -c '
import re, sys
text = sys.stdin.buffer.read().decode("utf-16-le", "replace")
print(" ".join(re.findall("(?:File|Product)Version\0+([^\0]*)", text)))')
  [ "$shown" = "$version $version" ] || fail "$packed: version information says $shown, not $version"
  quad=$(IFS=.; set -- $version 0 0 0; echo "$1.$2.$3.$4")
  wrestool -x --raw --type=24 "$packed" | grep -q "<assemblyIdentity type=\"win32\" name=\"[A-Za-z.]*\" version=\"$quad\"" ||
    fail "$packed: the manifest's version is not $quad"
done

# Every line of the texts ends in CR LF.
for text in README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt; do
  lines=$(wc -l < "$folder/$text")
  crlf=$(grep -c $'\r$' "$folder/$text")
  [ "$lines" -gt 0 ] && [ "$lines" = "$crlf" ] || fail "$text: $crlf of $lines lines end in CR LF"
done
unix() { tr -d '\r' < "$folder/$1"; }

contains() {  # FILE TEXT
  grep -q -F -- "$2" <<<"$(unix "$1")" || fail "$1 lacks: $2"
}
contains LICENSE.txt 'MIT License'
contains LICENSE.txt 'Copyright (c) 2026 The Stretchwell developers'
contains README.txt 'Stretchwell.exe'
contains README.txt 'stretch.exe'
contains README.txt 'THIRD-PARTY-NOTICES.txt'
contains THIRD-PARTY-NOTICES.txt 'This software is based in part on the work of the Independent JPEG Group.'
contains README.txt "Stretchwell-$version-x64.msi"

# The README's English key has every Russian text of the programs' sources:
# captions, menu items, dialog titles and file types (accelerator marks,
# shortcut keys and the parts of a filter or of a multi-line text apart; the
# screenshot driver only names its pictures).
missing=$(find "$root" \( -path "$root/build" -o -path "$root/tests" -o -path "$root/bench" -o -path "$root/ui/screenshot" -o -path "$root/.git" \) -prune -o \
  \( -name '*.cpp' -o -name '*.h' -o -name '*.rc' \) -print | python3 -c '
import re, sys
key = " ".join(open(sys.argv[1], encoding="utf-8").read().split())
for path in sys.stdin.read().split("\n"):
    if not path: continue
    for literal in re.findall(r"\"((?:[^\"\\]|\\.)*)\"", open(path, encoding="utf-8").read()):
        for piece in re.split(r"\\r\\n|\\t|\|", literal.replace("&", "")):
            piece = " ".join(piece.split())
            if re.search("[\u0400-\u04ff]", piece) and piece not in key:
                print(piece)' <(unix README.txt) | sort -u)
[ -z "$missing" ] || fail "README.txt has no English for: $(tr '\n' ';' <<<"$missing")"

# The licences' own words: every line of the IJG legal section, of the
# Modified BSD License and of the SIMD extensions' zlib License is there.
source_package=$(ls -d "$root"/build/deps/libjpeg-turbo-*/ 2>/dev/null | head -1)
if [ -z "$source_package" ]; then
  fail "no libjpeg-turbo source package under build/deps to compare the notices with"
else
  notices=$(unix THIRD-PARTY-NOTICES.txt)
  expect_lines() {  # NAME, lines on stdin
    local missing=0 line
    while IFS= read -r line; do
      [ -z "$line" ] && continue
      grep -q -x -F -- "$line" <<<"$notices" || { missing=1; printf '  missing: %s\n' "$line" >&2; }
    done
    [ $missing -eq 0 ] || fail "the notices lack lines of $1"
  }
  awk '/^LEGAL ISSUES$/{f=1} /^REFERENCES$/{exit} f' "$source_package/README.ijg" | expect_lines "the IJG License"
  awk '/^The Modified \(3-clause\) BSD License$/{f=1; next} /^Why Three Licenses\?$/{exit} f && !/^===/' \
    "$source_package/LICENSE.md" | sed 's/<br>$//' | expect_lines "the Modified BSD License"
  awk '/This software is provided .as-is./{f=1} f && /This notice may not be removed/{print; exit} f' \
    "$source_package/simd/nasm/jsimdext.inc" | sed 's/^; \{0,1\}//' | expect_lines "the zlib License"
fi

# The installer: the archive's files byte for byte, in the user's own
# programs folder, and tables that make it a per-user package Windows lists,
# upgrades and removes cleanly.
extracted=$(cd "$out" && msiextract -C "$out/msi" "$msi" | LC_ALL=C sort | tr '\n' ' ')
[ "$extracted" = "Programs/Stretchwell/LICENSE.txt Programs/Stretchwell/README.txt Programs/Stretchwell/Stretchwell.exe Programs/Stretchwell/THIRD-PARTY-NOTICES.txt Programs/Stretchwell/stretch.exe " ] ||
  fail "the installer holds: $extracted"
for file in Stretchwell.exe stretch.exe README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt; do
  cmp -s "$folder/$file" "$out/msi/Programs/Stretchwell/$file" || fail "the installer's $file is not the archive's"
done
# The Icon table's one row is held in this stream.
msiinfo extract "$msi" Icon.Stretchwell.ico | cmp -s - "$root/ui/Stretchwell.ico" || fail "the installer's icon is not the program's"

# (In the scratch folder: a table with binary data is exported beside its text.)
table() { (cd "$out" && msiinfo export "$msi" "$1") | tr -d '\r' | tail -n +4; }
has_row() {  # TABLE ROW (tab-separated, whole)
  table "$1" | grep -q -x -F -- "$2" || fail "table $1 lacks the row: $2"
}
tab=$'\t'
summary=$(msiinfo suminfo "$msi")
# Word count 10: compressed (2) and installs without elevation (8).
grep -q -x 'Source: 10 (a)' <<<"$summary" || fail "the installer is not a compressed package needing no elevation"
grep -q -x 'Template: x64;1033' <<<"$summary" || fail "the installer is not for x64"
created=$(TZ=UTC date -d "@$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 0)" '+%a %b %e %H:%M:%S %Y')
grep -q -x -F "Created: $created" <<<"$summary" || fail "the installer's time is not the last commit's ($created): $summary"

# Settings, Apps: name, publisher, version, icon, no Modify; per-user, as no ALLUSERS says.
for row in "ProductName${tab}Stretchwell" "Manufacturer${tab}The Stretchwell developers" \
  "ProductVersion${tab}$version" "ARPPRODUCTICON${tab}Stretchwell.ico" "ARPNOMODIFY${tab}1" \
  "UpgradeCode${tab}{160541F4-AE1A-4E71-9B17-5758D0BB3DF7}"; do
  has_row Property "$row"
done
table Property | grep -q '^ALLUSERS' && fail "the installer sets ALLUSERS: not a per-user package"
has_row CustomAction "SetInstallLocation${tab}51${tab}ARPINSTALLLOCATION${tab}[INSTALLDIR]${tab}"

# %LOCALAPPDATA%\Programs\Stretchwell, both folders removed again, every key path under HKCU.
has_row Directory "INSTALLDIR${tab}UserPrograms${tab}Stretchwell"
has_row Directory "UserPrograms${tab}LocalAppDataFolder${tab}Programs"
has_row RemoveFile "RemoveInstallDir${tab}Programs${tab}${tab}INSTALLDIR${tab}2"
has_row RemoveFile "RemoveUserPrograms${tab}UserProgramsFolder${tab}${tab}UserPrograms${tab}2"
while read -r component attributes keypath; do
  [ $((attributes & 4)) -ne 0 ] && table Registry | grep -q "^$keypath${tab}1${tab}" ||
    fail "component $component has no HKCU registry key path"
done < <(table Component | awk -F'\t' '{ print $1, $4, $6 }')
has_row Shortcut "StretchwellShortcut${tab}ProgramMenuFolder${tab}Stretchwell${tab}StartMenuShortcut${tab}[INSTALLDIR]Stretchwell.exe${tab}${tab}Enlarges or shrinks a BMP or JPEG picture${tab}${tab}Stretchwell.ico${tab}0${tab}${tab}INSTALLDIR${tab}${tab}${tab}${tab}"
# The folder at the end of the user's PATH, and only it taken off again.
has_row Environment "UserPath${tab}=-PATH${tab}[~];[INSTALLDIR]${tab}Programs"

# Upgrades: older versions are found and removed first; a newer one stops the install with the message.
has_row Upgrade "{160541F4-AE1A-4E71-9B17-5758D0BB3DF7}${tab}${tab}$version${tab}${tab}1${tab}${tab}WIX_UPGRADE_DETECTED"
has_row Upgrade "{160541F4-AE1A-4E71-9B17-5758D0BB3DF7}${tab}$version${tab}${tab}${tab}2${tab}${tab}WIX_DOWNGRADE_DETECTED"
table LaunchCondition | grep -q -x "NOT WIX_DOWNGRADE_DETECTED${tab}A newer version of Stretchwell is already installed\..*" ||
  fail "no launch condition stops an install over a newer version with its message"
sequence() { table InstallExecuteSequence | awk -F'\t' -v a="$1" '$1 == a { print $3 }'; }
for action in FindRelatedProducts RemoveExistingProducts WriteEnvironmentStrings RemoveEnvironmentStrings CreateShortcuts RemoveShortcuts; do
  [ -n "$(sequence $action)" ] || fail "the install sequence lacks $action"
done
[ "$(sequence RemoveExistingProducts)" = $(($(sequence InstallValidate) + 1)) ] ||
  fail "an older version is not removed right after InstallValidate"
[ "$(sequence SetInstallLocation)" -gt "$(sequence CostFinalize)" ] && [ "$(sequence SetInstallLocation)" -lt "$(sequence RegisterProduct)" ] ||
  fail "the install folder is not known when the product is registered"

# The same files give the same bytes; another version, another product code
# and package code under the same UpgradeCode.
bash "$root/scripts/package" --from "$build" --to "$out/again" >/dev/null || fail "scripts/package, again"
cmp -s "$zip" "$out/again/${zip##*/}" || fail "a second packing gives another archive"
cmp -s "$msi" "$out/again/${msi##*/}" || fail "a second packing gives another installer"
/usr/bin/python3 "$root/packaging/build-msi" --version 9.9 --files "$folder" --icon "$root/ui/Stretchwell.ico" \
  --epoch 0 -o "$out/other.msi" || fail "packaging/build-msi --version 9.9"
codes() { msiinfo export "$1" Property | tr -d '\r' | grep -E '^(ProductCode|UpgradeCode)'; msiinfo suminfo "$1" | grep UUID; }
[ "$(codes "$msi" | sed -n 2p)" = "$(codes "$out/other.msi" | sed -n 2p)" ] || fail "another version changes the UpgradeCode"
for line in 1 3; do
  [ "$(codes "$msi" | sed -n ${line}p)" != "$(codes "$out/other.msi" | sed -n ${line}p)" ] ||
    fail "another version keeps: $(codes "$msi" | sed -n ${line}p)"
done

[ $failed -eq 0 ] && echo "package holds:" && printf '  %s\n' $listed "${msi##*/}"
exit $failed
