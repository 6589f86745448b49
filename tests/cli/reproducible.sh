#!/bin/sh
# The same commands under differing working folders, locales, time zones, thread counts and
# input orders must write the same bytes.
# usage: reproducible.sh TARQUIL_CLI MAKE_SAMPLE
cli=$1
make_sample=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
in=$work/in
out=$work/out
mkdir -p "$in" "$work/elsewhere" "$work/home"
"$make_sample" "$in" >/dev/null || exit 1

# run CWD LOCALE TZ JOBS ORDER: every command once, outputs into $out.
run() {
  rm -rf "$out"; mkdir -p "$out"
  inputs=$(ls "$in"/*.tga)
  [ "$5" = reversed ] && inputs=$(echo "$inputs" | sort -r)
  env -i PATH="$PATH" HOME="$work/home" LC_ALL="$2" LANG="$2" TZ="$3" \
    SOURCE_DATE_EPOCH=1700000000 sh -c '
    set -e
    cd "$1"; cli=$2; in=$3; out=$4; jobs=$5; shift 5
    q() { "$cli" "$@" --no-settings >/dev/null; }
    q convert "$in/walk_000.tga" "$out/strip.png" --frames all --strip --depfile "$out/strip.d"
    "$cli" convert "$in/walk_000.tga" "$out/strip.tga" --frames all --strip --json \
      --no-settings > "$out/strip.result.json"
    q convert --out-dir "$out/batch" --to png -j "$jobs" "$@"
    q edit "$in/walk_000.tga" "$out/edit.tga" --scale 50% --autocrop --strip
    q export "$in/walk_003.tga" "$out/w.3df" --resample auto --format rgb565 --dither diffusion
    q font --face "DejaVu Sans" --size 10 -o "$out/f.png" --fnt --depfile "$out/f.d"
    q codegen "$out/strip.png" --comment --format "\"{%d,%d},\\n\",x1,y1" -o "$out/c.txt"
    q codegen "$out/strip.png" --template json-hash -o "$out/strip.atlas.json"
    q arrange "$out/strip.png" -o "$out/sheet.png" --method maxrects
    q animmaster "$in/walk_000.tga" -o "$out/am.tga"
    q render "$in/walk_002.tga" "$out/r.png" --zoom 2 --grid normal
  ' sh "$1" "$cli" "$in" "$out" "$4" $inputs
}

run / C UTC 1 sorted || { echo "FAIL: first run"; exit 1; }
mv "$out" "$work/a"
run "$work/elsewhere" de_DE.UTF-8 Asia/Kathmandu 3 reversed || { echo "FAIL: second run"; exit 1; }
if ! diff -r "$work/a" "$out"; then
  echo "FAIL: the outputs differ"
  exit 1
fi
# The date of generated text follows SOURCE_DATE_EPOCH (2023-11-14 22:13:20 UTC).
grep -q 2023 "$out/c.txt" || { echo "FAIL: codegen's date ignores SOURCE_DATE_EPOCH"; head -5 "$out/c.txt"; exit 1; }
echo "reproducible: $(find "$out" -type f | wc -l) files identical"
