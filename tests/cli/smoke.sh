#!/usr/bin/env bash
# End-to-end check of tarquil-cli: exit codes and outputs on real files.
set -u
cli="$1"; sample="$2"
dir=$(mktemp -d); trap 'rm -rf "$dir"' EXIT
pass=0; fail=0
check() { if [ "$1" = "$2" ]; then pass=$((pass+1)); else echo "FAIL: $3 (got $1, want $2)"; fail=$((fail+1)); fi; }
"$sample" "$dir/s" >/dev/null; check $? 0 "sample generator"
"$cli" info "$dir/s/walk_000.tga" >"$dir/out.txt"; check $? 0 "info"
grep -q 'type 512 (TGA), 96x96, format argb8888, 1 level, 1 frame' "$dir/out.txt"; check $? 0 "info text"
"$cli" info --json "$dir/s/walk_000.tga" | grep -q '"width": 96'; check $? 0 "info json"
"$cli" info "$dir/missing.tga" 2>"$dir/err.txt"; check $? 1 "info on a missing file"
grep -q 'missing.tga' "$dir/err.txt"; check $? 0 "error names the file"
"$cli" convert "$dir/s/walk_000.tga" "$dir/a.tga" --compression none; check $? 0 "convert none"
"$cli" convert --compression=scanline "$dir/s/walk_000.tga" "$dir/b.tga"; check $? 0 "convert scanline"
"$cli" convert "$dir/s/walk_000.tga" "$dir/c.tga" --compression fast 2>/dev/null; check $? 2 "bad compression"
[ ! -e "$dir/c.tga" ]; check $? 0 "nothing written on bad usage"
"$cli" frobnicate 2>/dev/null; check $? 2 "unknown command"

# convert: formats by extension, series and strips.
s="$dir/s"
for ext in png bmp pcx spr; do
  "$cli" convert "$s/walk_003.tga" "$dir/one.$ext"; check $? 0 "convert to .$ext"
done
"$cli" info "$dir/one.png" | grep -q 'type 265 (PNG), 96x96'; check $? 0 "png written"
# info reads the header only; --decode reads the picture and finds the damage.
head -c 200 "$dir/one.png" >"$dir/cut.png"
"$cli" info "$dir/cut.png" | grep -q 'type 265 (PNG), 96x96'; check $? 0 "info of a cut png"
"$cli" info --decode "$dir/cut.png" 2>/dev/null; check $? 1 "info --decode of a cut png"
"$cli" convert "$s/walk_003.tga" "$dir/eight.bmp" --bmp-depth 8; check $? 0 "8-bit bmp"
"$cli" info --json "$dir/eight.bmp" | grep -q '"format": "p8"'; check $? 0 "8-bit bmp is paletted"
"$cli" convert "$s/walk_000.tga" "$dir/strip.png" --frames all --strip; check $? 0 "series to strip"
"$cli" info "$dir/strip.png" | grep -q '96x1152'; check $? 0 "strip holds 12 frames"
grep -q 'Frame 12' "$dir/strip.png_pos.txt"; check $? 0 "strip position file"
"$cli" convert "$s/walk_000.tga" "$dir/ser.tga" --frames 4 --every 2 --series --start 10 --increment 5; check $? 0 "series out"
[ -f "$dir/ser010.tga" ] && [ -f "$dir/ser025.tga" ] && [ ! -f "$dir/ser030.tga" ]; check $? 0 "series numbering"
"$cli" convert "$s/walk_000.tga" "$dir/third.tga" --frames all --frame 3; check $? 0 "one frame of a series"
cmp -s <("$cli" convert "$s/walk_002.tga" "$dir/ref.tga" && cat "$dir/ref.tga") "$dir/third.tga"; check $? 0 "frame 3 is walk_002"
"$cli" convert "$dir/strip.png" "$dir/split.tga" --frames all --series 2>/dev/null; check $? 0 "strip png stays one frame"
"$cli" convert "$s/walk_000.tga" "$dir/x.gif" 2>/dev/null; check $? 2 "unwritable extension"
"$cli" convert "$s/walk_000.tga" "$dir/x.tga" --frames 0 2>/dev/null; check $? 2 "bad frame count"
"$cli" convert "$s/walk_000.tga" "$dir/x.tga" --frames all --frame 99 2>/dev/null; check $? 2 "frame beyond the end"
"$cli" convert "$s/walk_000.tga" "$dir/nodir/x.tga" 2>"$dir/err.txt"; check $? 1 "unwritable target"
grep -q 'nodir/x.tga: No such file' "$dir/err.txt"; check $? 0 "write error names file and reason"
"$cli" --help >/dev/null; check $? 0 "help"
# Lumps are drawn with the editor's palette file ("palfile" in the shared settings).
mkdir -p "$dir/cfg/BrightvaleWorks"
printf 'JASC-PAL\n0100\n2\n255 0 0\n0 0 255\n' > "$dir/p.pal"
printf '[Settings]\npalfile=%s\n' "$dir/p.pal" > "$dir/cfg/BrightvaleWorks/Tarquil Studio 1.0.conf"
printf '\002\000\000\000\001\000\000\000\000\001' > "$dir/a.lmp"
XDG_CONFIG_HOME="$dir/cfg" "$cli" convert "$dir/a.lmp" "$dir/lmp.tga" --compression none; check $? 0 "lump with palfile"
[ "$(od -An -tx1 -j18 -N8 "$dir/lmp.tga" | tr -d ' \n')" = "0000ffffff0000ff" ]; check $? 0 "lump colours from the palette"

echo "$pass passed, $fail failed"
[ "$fail" = 0 ]
