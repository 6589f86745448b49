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
"$cli" --help >/dev/null; check $? 0 "help"
echo "$pass passed, $fail failed"
[ "$fail" = 0 ]
