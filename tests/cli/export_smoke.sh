#!/usr/bin/env bash
# End-to-end check of tarquil-cli export: every output kind reads back through info, exports are
# reproducible, and refusals leave existing files alone.
set -u
cli="$1"; sample="$2"
dir=$(mktemp -d); trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config"
pass=0; fail=0
check() { if [ "$1" = "$2" ]; then pass=$((pass+1)); else echo "FAIL: $3 (got $1, want $2)"; fail=$((fail+1)); fi; }
"$sample" "$dir/s" >/dev/null; check $? 0 "sample generator"
in="$dir/s/walk_000.tga"
for f in i8 a8 p8 ai44 yiq rgb332 rgb565 argb8332 argb1555 ayiq8422 argb4444 ai88 argb8888; do
  "$cli" export "$in" "$dir/$f.3df" --format $f --resample auto --mipmap all --dither diffusion; check $? 0 "export $f 3df"
  "$cli" info "$dir/$f.3df" | grep -q "type 256 (3DF), 64x64, format $f, 7 levels"; check $? 0 "info $f 3df"
  "$cli" export "$in" "$dir/$f.tex" --format $f --output tex --aspect 2:1 --mipmap 3; check $? 0 "export $f tex"
  "$cli" info "$dir/$f.tex" | grep -q "type 513 (TEX), 64x32, format $f, 3 levels"; check $? 0 "info $f tex"
  "$cli" export "$in" "$dir/$f.raw" --format $f --output raw --resample 16x16; check $? 0 "export $f raw"
done
[ "$(stat -c %s "$dir/rgb565.raw")" = 512 ]; check $? 0 "raw size"
"$cli" export "$in" "$dir/h1.3df" --format yiq --ncc heuristic --resample auto --mipmap all --dither diffusion
"$cli" export "$in" "$dir/h2.3df" --format yiq --ncc heuristic --resample auto --mipmap all --dither diffusion
cmp -s "$dir/h1.3df" "$dir/h2.3df"; check $? 0 "heuristic exports are identical"
echo old >"$dir/keep.3df"
"$cli" export "$in" "$dir/keep.3df" --resample none 2>"$dir/err.txt"; check $? 2 "not a power of two"
grep -q "Abort: Not power of 2 on a side" "$dir/err.txt"; check $? 0 "abort message"
"$cli" export "$in" "$dir/keep.3df" --format rgb555 2>/dev/null; check $? 2 "unknown format"
[ "$(cat "$dir/keep.3df")" = old ]; check $? 0 "old file kept"
"$cli" export "$in" "$dir/nodir/x.3df" --resample auto 2>/dev/null; check $? 1 "unwritable output"
"$cli" export --help | grep -q "argb1555"; check $? 0 "help lists the formats"
echo "$pass passed, $fail failed"
[ "$fail" = 0 ]
