#!/usr/bin/env bash
# Whether stretch built for aarch64, run under qemu-user, writes the bytes
# stretch writes on x86-64: for every kind of source the tests make (each BMP
# variant, each kind of JPEG file, and the pictures whose slopes are the
# exact ties the margin tests pin), at several sizes, in both formats.
#
# libjpeg-turbo's SIMD code for x86 rounds its float DCT and quantization
# otherwise than its portable C code, which every other processor runs; so
# x86-64 runs here on the C code too (JSIMD_FORCENONE=1), which changes
# nothing where no JPEG is read or written.
#
#   SameBytes.sh NATIVE_BUILD ARM64_BUILD
set -uo pipefail
native=$1
arm64=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/sources"
"$native/tests/source_kinds" "$work/sources" > "$work/cases" || { echo "FAIL: source_kinds" >&2; exit 1; }

x86() { JSIMD_FORCENONE=1 "$native/cli/stretch" "$@"; }
arm() { qemu-aarch64 -L /usr/aarch64-linux-gnu "$arm64/cli/stretch" "$@"; }

checked=0
differing=0
failed=0
while read -r file width height; do
  for format in bmp jpg; do
    source="$work/sources/$file"
    x86 -q -W "$width" -H "$height" -f "$format" -o "$work/x86" "$source" 2> "$work/x86.err"
    x86_status=$?
    arm -q -W "$width" -H "$height" -f "$format" -o "$work/arm" "$source" 2> "$work/arm.err"
    arm_status=$?
    checked=$((checked + 1))
    if [ "$x86_status" != "$arm_status" ] || ! cmp -s "$work/x86.err" "$work/arm.err" ||
       { [ "$x86_status" = 0 ] && ! cmp -s "$work/x86" "$work/arm"; }; then
      echo "FAIL: $file to $width x $height as $format: x86-64 exit $x86_status, aarch64 exit $arm_status" >&2
      cat "$work/x86.err" "$work/arm.err" >&2
      differing=$((differing + 1))
      failed=1
    fi
    rm -f "$work/x86" "$work/arm"
  done
done < "$work/cases"

echo "$checked resizes compared, $differing differing"
exit $failed
