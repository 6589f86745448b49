#!/usr/bin/env bash
# End-to-end check of tarquil-cli edit on the sample animation: a series in, a series or strip
# out, every frame the same size, refusals touching nothing.
set -u
cli="$1"; sample="$2"
dir=$(mktemp -d); trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config"
pass=0; fail=0
check() { if [ "$1" = "$2" ]; then pass=$((pass+1)); else echo "FAIL: $3 (got $1, want $2)"; fail=$((fail+1)); fi; }
"$sample" "$dir/s" >/dev/null; check $? 0 "sample generator"
in="$dir/s/walk_000.tga"
"$cli" edit "$in" "$dir/crop.tga" --autocrop; check $? 0 "auto crop of the series"
[ -f "$dir/crop000.tga" ] && [ -f "$dir/crop011.tga" ] && [ ! -f "$dir/crop012.tga" ]; check $? 0 "twelve frames written"
size0=$("$cli" info "$dir/crop000.tga" | grep -o '[0-9]*x[0-9]*,')
size11=$("$cli" info "$dir/crop011.tga" | grep -o '[0-9]*x[0-9]*,')
[ -n "$size0" ] && [ "$size0" = "$size11" ] && [ "$size0" != "96x96," ]; check $? 0 "frames cropped alike"
"$cli" edit "$in" "$dir/strip.png" --autocrop --scale 50% --strip; check $? 0 "strip out"
"$cli" info "$dir/strip.png" | grep -q 'type 265 (PNG)'; check $? 0 "strip is a png"
grep -q 'Frame 12' "$dir/strip.png_pos.txt"; check $? 0 "strip position file"
"$cli" edit "$dir/s/walk_004.tga" "$dir/iso_020.tga" --canvas 128x128 --center --iso --flip v \
  --key-colour 0x000000 --alpha-from bias:1 --invert-alpha; check $? 0 "every step at once"
[ -f "$dir/iso_020.tga" ] && [ -f "$dir/iso_027.tga" ] && [ ! -f "$dir/iso_028.tga" ]; check $? 0 "numbered from OUT"
a=$("$cli" info "$dir/iso_020.tga" | grep -o '[0-9]*x[0-9]*,'); b=$("$cli" info "$dir/iso_027.tga" | grep -o '[0-9]*x[0-9]*,')
[ -n "$a" ] && [ "$a" = "$b" ]; check $? 0 "projected frames trimmed alike"
"$cli" edit "$in" "$dir/bad.tga" --scale 0x1 2>/dev/null; check $? 2 "bad scale"
"$cli" edit "$in" "$dir/bad.tga" --crop 500,0,4,4 2>/dev/null; check $? 2 "crop outside"
ls "$dir"/bad* >/dev/null 2>&1; check $? 2 "nothing written on bad values"
"$cli" edit "$dir/none.tga" "$dir/x.tga" 2>/dev/null; check $? 1 "missing input"
"$cli" edit "$in" "$dir/nodir/x.tga" --flip h 2>"$dir/err.txt"; check $? 1 "unwritable target"
grep -q 'nodir' "$dir/err.txt"; check $? 0 "write error names the file"
"$cli" edit --help | grep -q -- '--autocrop'; check $? 0 "help"
echo "$pass passed, $fail failed"
[ "$fail" = 0 ]
