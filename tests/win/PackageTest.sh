#!/usr/bin/env bash
# The Windows release archive packed from this build's programs: exactly the
# files a user gets, the programs being this build's with their resources,
# the texts with Windows line ends, and the notices libjpeg-turbo's licences
# require, word for word as its source package gives them.
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

bash "$root/scripts/package" --from "$build" --to "$out" >/dev/null || { echo "FAIL: scripts/package" >&2; exit 1; }
zip="$out/Stretchwell-1.0-win64.zip"
[ -f "$zip" ] || { echo "FAIL: no $zip" >&2; exit 1; }

listed=$(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip")
expected='Stretchwell-1.0-win64/
Stretchwell-1.0-win64/LICENSE.txt
Stretchwell-1.0-win64/README.txt
Stretchwell-1.0-win64/Stretchwell.exe
Stretchwell-1.0-win64/THIRD-PARTY-NOTICES.txt
Stretchwell-1.0-win64/stretch.exe'
[ "$listed" = "$expected" ] || fail "the archive holds:
$listed"

python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$out/unpacked"
folder="$out/unpacked/Stretchwell-1.0-win64"

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

[ $failed -eq 0 ] && echo "package holds:" && printf '  %s\n' $listed
exit $failed
