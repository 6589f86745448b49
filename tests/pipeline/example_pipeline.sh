#!/bin/sh
# Builds examples/pipeline with CMake and Ninja in a scratch copy and checks that the build
# does exactly the work its inputs call for.
# usage: example_pipeline.sh SOURCE_DIR TARQUIL_CLI
src=$1
cli=$2
fail=0
check() { if [ "$1" != "$2" ]; then echo "FAIL: $3 (got '$1', expected '$2')"; fail=1; fi; }

command -v ninja >/dev/null || { echo "ninja is not installed"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/examples" "$work/home"
cp -r "$src/cmake" "$work/cmake"
cp -r "$src/examples/pipeline" "$work/examples/pipeline"
p=$work/examples/pipeline
b=$work/build
# A settings file that would change the TGA bytes: the pipeline must not read it.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$XDG_CONFIG_HOME/BrightvaleWorks"
printf '[Settings]\nCompressTGA=0\n' > "$XDG_CONFIG_HOME/BrightvaleWorks/Tarquil Studio 1.0.conf"

cmake -G Ninja -S "$p" -B "$b" -DTARQUIL_CLI="$cli" >"$work/configure.log" 2>&1
check $? 0 "configure"
ninja -C "$b" >"$work/1.log" 2>&1
check $? 0 "first build"
for f in hero.tga coin.tga atlas.png atlas.atlas walk.png walk.png_pos.txt walk.png.map walk.json hero.3df font.png \
         font.png_pos.txt font.fnt; do
  [ -s "$b/assets/$f" ] || { echo "FAIL: assets/$f not built"; fail=1; }
done
# Byte 2 of a TGA is its image type: 10 run-length (built in), not 2 (the settings file's).
check "$(od -An -tu1 -j2 -N1 "$b/assets/coin.tga" | tr -d ' ')" 10 "settings file not read"

ninja -C "$b" >"$work/2.log" 2>&1
check "$(tail -1 "$work/2.log")" "ninja: no work to do." "second build does nothing"

stamp() { (cd "$b/assets" && ls --full-time hero.tga coin.tga walk.png walk.json hero.3df font.png); }
# coin.tga and atlas.png read coin.png; the stamp leaves the atlas out.
ran() { grep -c 'tarquil-cli ' "$1"; }

sleep 1
before=$(stamp)
touch "$p/sprites/coin.png"
ninja -C "$b" >"$work/3.log" 2>&1
check $? 0 "build after touching coin.png"
check "$(ran "$work/3.log")" 2 "touching one sprite rebuilds only its asset and the atlas"
grep -q 'pack assets/atlas.png' "$work/3.log" || { echo "FAIL: atlas.png not rebuilt"; fail=1; }
grep -q 'convert assets/coin.tga' "$work/3.log" || { echo "FAIL: coin.tga not rebuilt"; fail=1; }
after=$(stamp)
check "$(echo "$before" | grep -v coin.tga)" "$(echo "$after" | grep -v coin.tga)" \
  "only coin.tga (and the atlas) changed"

cp "$p/sprites/walk_003.png" "$p/sprites/walk_004.png"
ninja -C "$b" >"$work/4.log" 2>&1
check $? 0 "build after adding walk_004.png"
check "$(ran "$work/4.log")" 2 "an added member rebuilds the strip and its data file only"
grep -q 'convert assets/walk.png' "$work/4.log" || { echo "FAIL: walk.png not rebuilt"; fail=1; }
height=$("$cli" info --json "$b/assets/walk.png" |
  python3 -c 'import json,sys; print(json.load(sys.stdin)["files"][0]["height"])')
check "$height" 80 "the strip holds five frames"
ninja -C "$b" >"$work/5.log" 2>&1
check "$(tail -1 "$work/5.log")" "ninja: no work to do." "nothing to do after the added member"

rm "$p/sprites/coin.png"
ninja -C "$b" >"$work/6.log" 2>&1
check $? 1 "a removed input fails the build"
grep -q "coin.png: No such file or directory" "$work/6.log" ||
  { echo "FAIL: the failure does not name coin.png"; cat "$work/6.log"; fail=1; }

[ $fail = 0 ] && echo "example pipeline: all checks passed"
exit $fail
