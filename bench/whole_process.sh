#!/usr/bin/env bash
# Whole-process figures of tarquil-cli beside ImageMagick, GraphicsMagick and libvips, measured in
# the same run (interleaved, so that all see the same machine load; the load average is printed):
#   - convert of a 2048 x 2048 RGBA picture from PNG (photo-like and flat sprite art), TGA RLE, JPEG
#     and BMP to TGA (median wall time of RUNS runs each, ours / ImageMagick's convert, ours /
#     `gm convert`), and of an 8192 x 8192 PNG against `gm convert`,
#   - PNG to PNG against `vips copy`, with the file sizes beside ImageMagick's,
#   - `tarquil-cli info` against `identify -ping` on the 8192 x 8192 PNG,
#   - `tarquil-cli --help` (median wall time, peak RSS),
#   - peak RSS of each 2048 x 2048 conversion against the picture's 16 MiB,
#   - 1,000 files of 64 x 64 PNG to TGA: `convert --out-dir -j 2` against `mogrify -format tga`
#     and `gm mogrify`, into an empty folder and over the outputs of the run before, on the disk
#     and in /dev/shm.
# GraphicsMagick and libvips come from `scripts/setup --bench`; a peer that is missing is left out.
# usage: bench/whole_process.sh [path/to/tarquil-cli] [work dir]   (RUNS=5 by default)
set -euo pipefail

CLI=${1:-build-bench/tarquil-cli}
WORK=${2:-${TMPDIR:-/tmp}/tarquil-whole-process}
RUNS=${RUNS:-5}
# The ImageMagick binaries themselves, not a wrapper script in front of them.
IM_CONVERT=$(command -v /usr/bin/convert || command -v convert || true)
IM_MOGRIFY=$(command -v /usr/bin/mogrify || command -v mogrify || true)
if [[ ! -x $CLI ]]; then echo "whole_process: $CLI is not built" >&2; exit 1; fi
if [[ -z $IM_CONVERT || -z $IM_MOGRIFY ]]; then
  echo "whole_process: ImageMagick (convert, mogrify) is needed as the peer" >&2; exit 1
fi
command -v /usr/bin/time >/dev/null || { echo "whole_process: /usr/bin/time is needed" >&2; exit 1; }
GM=$(command -v gm || true)
VIPS=$(command -v vips || true)
IDENTIFY=$(command -v /usr/bin/identify || command -v identify || true)
CLI=$(realpath "$CLI")
mkdir -p "$WORK"
cd "$WORK"

# Inputs, made once: a gradient with a little noise and a radial alpha ramp (sprite-like content
# that neither compresses to nothing nor is pure noise), then 1,000 tiles of it.
if [[ ! -f src.png ]]; then
  "$IM_CONVERT" -seed 7 -size 2048x2048 gradient:'#ff8040-#2040c0' -attenuate 0.15 +noise Uniform \
    \( -size 2048x2048 radial-gradient:white-black \) -alpha off -compose CopyOpacity -composite \
    -depth 8 PNG32:src.png
  "$IM_CONVERT" src.png -compress RLE src_rle.tga
  "$IM_CONVERT" src.png -quality 90 src.jpg
  "$IM_CONVERT" src.png BMP3:src.bmp
fi
# Flat sprite art: 1,024 shaded 48 x 48 sprites with dark outlines on a transparent sheet (a few
# hundred colours, so every peer stores it as RGBA), and a photo-like 8192 x 8192 picture.
if [[ ! -f flat.png ]]; then
  /usr/bin/python3 - flat.png <<'PY'
import sys
from PIL import Image, ImageDraw
img = Image.new('RGBA', (2048, 2048), (0, 0, 0, 0))
sprites = []
for r, g, b in [(224, 64, 64), (64, 160, 64), (64, 96, 224), (240, 208, 32), (160, 160, 160), (160, 64, 192)]:
    s = Image.new('RGBA', (48, 48), (0, 0, 0, 0))
    d = ImageDraw.Draw(s)
    for y in range(48):
        f = 1.2 - y / 60.0
        d.line([(4, y), (43, y)], fill=(min(255, int(r * f)), min(255, int(g * f)), min(255, int(b * f)), 255))
    m = Image.new('L', (48, 48), 0)
    ImageDraw.Draw(m).rounded_rectangle([2, 2, 45, 45], 10, fill=255)
    s.putalpha(m)
    ImageDraw.Draw(s).rounded_rectangle([2, 2, 45, 45], 10, outline=(20, 20, 30, 255), width=2)
    ImageDraw.Draw(s).ellipse([12, 10, 20, 18], fill=(255, 255, 255, 255))
    sprites.append(s)
for j in range(32):
    for i in range(32):
        img.paste(sprites[(i * 7 + j * 3) % 6], (i * 64 + 8, j * 64 + 8))
img.save(sys.argv[1])
PY
fi
[[ -f big.png ]] || "$IM_CONVERT" src.png -resize 400% PNG32:big.png
if [[ ! -d tiles ]]; then
  mkdir -p tiles.tmp
  "$IM_CONVERT" src.png -crop 64x64 +repage PNG32:tiles.tmp/t_%04d.png
  ls tiles.tmp | sort | tail -n +1001 | sed 's|^|tiles.tmp/|' | xargs -r rm -f
  mv tiles.tmp tiles
fi

# Wall time of one run in milliseconds (fork and exec included) into WALL, and its user plus system
# time into LAST_CPU from bash's `times`, which runs in this shell: in a pipe or $(...) it would
# ask a subshell, which has no children.
LAST_CPU=0
wall_ms() {
  local c0 t0 t1
  times >times.txt
  c0=$(tail -1 times.txt)
  t0=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || { echo "whole_process: failed: $*" >&2; exit 1; }
  t1=$EPOCHREALTIME
  times >times.txt
  LAST_CPU=$( (echo "$c0"; tail -1 times.txt) | awk '{ t = 0; for (i = 1; i <= 2; ++i) {
      split($i, p, /[ms]/); t += p[1] * 60 + p[2] } v[NR] = t } END { printf "%.3f", (v[2] - v[1]) * 1000 }')
  WALL=$(awk -v us=$(( 10#${t1/./} - 10#${t0/./} )) 'BEGIN {printf "%.3f", us / 1000}')
}
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {printf "%.2f", v[int((NR+1)/2)]}'; }
div() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.4f", a / b}'; }
peak_kb() { /usr/bin/time -f %M -o rss.txt "$@" >/dev/null 2>&1; tail -1 rss.txt; }

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), cores: $(nproc), runs: $RUNS"
echo "ImageMagick: $("$IM_CONVERT" -version | head -1)"
echo
printf '%-24s %9s %9s %6s %9s %6s   %9s %9s %6s  %8s\n' "2048x2048 -> TGA" "ours ms" "IM ms" "ratio" \
  "gm ms" "ratio" "ours CPU" "IM CPU" "ratio" "peak MiB"
declare -A GM_OF OURS_OF SIZE_OF
for input in src.png flat.png src_rle.tga src.jpg src.bmp; do
  ours=() theirs=() gms=() ocpu=() tcpu=()
  for ((k = 0; k < RUNS; ++k)); do  # interleaved, so all see the same machine load
    wall_ms "$CLI" convert "$input" out.tga; ours+=("$WALL"); ocpu+=("$LAST_CPU")
    wall_ms "$IM_CONVERT" "$input" im.tga; theirs+=("$WALL"); tcpu+=("$LAST_CPU")
    if [[ -n $GM ]]; then wall_ms "$GM" convert "$input" gm.tga; gms+=("$WALL"); else gms+=(0); fi
  done
  mo=$(median "${ours[@]}") mt=$(median "${theirs[@]}") mg=$(median "${gms[@]}")
  co=$(median "${ocpu[@]}") ct=$(median "${tcpu[@]}")
  kb=$(peak_kb "$CLI" convert "$input" out.tga)
  GM_OF[$input]=$mg OURS_OF[$input]=$mo SIZE_OF[$input]=$(stat -c %s out.tga)
  printf '%-24s %9s %9s %6.2f %9s %6s   %9s %9s %6.2f  %8.1f\n' "convert $input" "$mo" "$mt" "$(div "$mo" "$mt")" \
    "$mg" "$([[ -n $GM ]] && div "$mo" "$mg" || echo -)" "$co" "$ct" "$(div "$co" "$ct")" "$(div "$kb" 1024)"
done
echo "(medians; targets against gm convert: photo-like PNG 0.40, flat PNG 0.30, JPEG 0.40, BMP 0.30;"
echo " peak at most 40 MiB = 2.5 x the 16 MiB picture; load average now $(cut -d' ' -f1-3 /proc/loadavg))"

# The floors under the photo-like PNG and the BMP: the decode alone, in-process from memory
# (raster_bench beside the CLI, from a benchmark build), start-up and exit (`info` on the same file
# reads only its header) and handing a file of our output's size to the file system alone, through
# a temporary file and a rename over the one there as our safe write does (timed inside Python).
# What is left of our time is the TGA encode.
RASTER_BENCH=$(dirname "$CLI")/raster_bench
if [[ -x $RASTER_BENCH && -n $GM ]]; then
  for input in src.png src.bmp; do
    decode=$(RASTER_BENCH_FILE=$input RUNS=$RUNS "$RASTER_BENCH" | awk '/^decode_ms/ {print $2}')
    infos=()
    for ((k = 0; k < RUNS; ++k)); do wall_ms "$CLI" info "$input"; infos+=("$WALL"); done
    mi=$(median "${infos[@]}")
    write=$(/usr/bin/python3 - "${SIZE_OF[$input]}" "$RUNS" <<'PY'
import os, sys, time
size, runs = int(sys.argv[1]), int(sys.argv[2])
data = os.urandom(size)
open('floor.tga', 'wb').write(data)
times = []
for _ in range(runs):
    t0 = time.perf_counter()
    with open('floor.tga.tmp', 'wb') as f:
        f.write(data)
    os.rename('floor.tga.tmp', 'floor.tga')
    times.append((time.perf_counter() - t0) * 1000)
os.remove('floor.tga')
print('%.2f' % sorted(times)[len(times) // 2])
PY
)
    floor=$(awk -v a="$decode" -v b="$mi" -v c="$write" 'BEGIN {printf "%.2f", a + b + c}')
    printf 'floor of %s -> TGA: decode alone %s ms + start-up and exit %s ms + writing the %.1f MB alone %s ms\n' \
      "$input" "$decode" "$mi" "$(div "${SIZE_OF[$input]}" 1000000)" "$write"
    printf '  = %s ms, %.2f of gm convert'"'"'s %s ms (ours %s ms, %.2f)\n' "$floor" \
      "$(div "$floor" "${GM_OF[$input]}")" "${GM_OF[$input]}" "${OURS_OF[$input]}" \
      "$(div "${OURS_OF[$input]}" "${GM_OF[$input]}")"
  done
fi

# Paired figures of two commands: median wall times and their ratio.
pair() {
  local label=$1 target=$2 a=() b=(); shift 2
  local n=0 sep
  for sep in "$@"; do [[ $sep == -- ]] && break; n=$((n + 1)); done
  local first=("${@:1:n}") second=("${@:n+2}")
  for ((k = 0; k < RUNS; ++k)); do
    wall_ms "${first[@]}"; a+=("$WALL")
    wall_ms "${second[@]}"; b+=("$WALL")
  done
  local ma mb
  ma=$(median "${a[@]}") mb=$(median "${b[@]}")
  PAIR_OURS=$ma PAIR_PEER=$mb
  printf '%-44s ours %9s ms, peer %9s ms, ratio %5.2f (target %s; load %s)\n' "$label" "$ma" "$mb" \
    "$(div "$ma" "$mb")" "$target" "$(cut -d' ' -f1 /proc/loadavg)"
}
echo
if [[ -n $GM ]]; then pair "8192x8192 PNG -> TGA against gm convert" 0.70 "$CLI" convert big.png out.tga -- "$GM" convert big.png gm.tga; fi
if [[ -n $VIPS ]]; then
  for input in src.png flat.png; do
    pair "$input -> PNG against vips copy" 0.33 "$CLI" convert "$input" out.png -- "$VIPS" copy "$input" vips.png
    "$IM_CONVERT" "$input" im.png
    printf '  sizes: ours %s, vips %s, ImageMagick %s bytes\n' "$(stat -c %s out.png)" "$(stat -c %s vips.png)" "$(stat -c %s im.png)"
    # The floor: decode and encode alone in-process (the PNG written into /dev/shm) and start-up.
    if [[ -x $RASTER_BENCH && -d /dev/shm ]]; then
      codec=$(RASTER_BENCH_FILE=$input RASTER_BENCH_ENCODE=png RUNS=$RUNS "$RASTER_BENCH")
      decode=$(awk '/^decode_ms/ {print $2}' <<<"$codec") encode=$(awk '/^encode_ms/ {print $2}' <<<"$codec")
      infos=()
      for ((k = 0; k < RUNS; ++k)); do wall_ms "$CLI" info "$input"; infos+=("$WALL"); done
      mi=$(median "${infos[@]}")
      floor=$(awk -v a="$decode" -v b="$encode" -v c="$mi" 'BEGIN {printf "%.2f", a + b + c}')
      printf '  floor: decode alone %s ms + encode alone %s ms + start-up and exit %s ms = %s ms, %.2f of vips (ours %.2f)\n' \
        "$decode" "$encode" "$mi" "$floor" "$(div "$floor" "$PAIR_PEER")" "$(div "$PAIR_OURS" "$PAIR_PEER")"
    fi
  done
fi
if [[ -n $IDENTIFY ]]; then
  pair "info on $(( $(stat -c %s big.png) / 1000000 )) MB PNG against identify -ping" 2 "$CLI" info big.png -- "$IDENTIFY" -ping big.png
fi

echo
help=()
helpcpu=()
for ((k = 0; k < RUNS; ++k)); do wall_ms "$CLI" --help; help+=("$WALL"); helpcpu+=("$LAST_CPU"); done
printf 'tarquil-cli --help: %s ms (CPU %s ms), peak %.1f MiB (target: under 5 ms and 10 MiB)\n' \
  "$(median "${help[@]}")" "$(median "${helpcpu[@]}")" "$(div "$(peak_kb "$CLI" --help)" 1024)"

# The batch, where the files are (creating a file costs as much as converting a small one on some
# disks, so the floor of that is shown too) and, where /dev/shm exists, in memory.
batch() {
  local dir=$1 over=$2 ours=() theirs=() gms=() floor=() ocpu=() tcpu=() names=()
  names=($(cd "$dir/tiles" && ls ./*.png))
  for ((k = 0; k < RUNS; ++k)); do
    if [[ $over == 0 ]]; then
      rm -rf "$dir/out_ours" "$dir/out_im" "$dir/out_gm" "$dir/out_touch"
      mkdir "$dir/out_im" "$dir/out_gm" "$dir/out_touch"
    fi
    mkdir -p "$dir/out_im" "$dir/out_gm" "$dir/out_touch"
    wall_ms "$CLI" convert "$dir"/tiles/*.png --out-dir "$dir/out_ours" --to tga -j 2; ours+=("$WALL"); ocpu+=("$LAST_CPU")
    wall_ms "$IM_MOGRIFY" -path "$dir/out_im" -format tga "$dir"/tiles/*.png; theirs+=("$WALL"); tcpu+=("$LAST_CPU")
    # gm puts each output at the output directory plus the input's path as given: relative names.
    if [[ -n $GM ]]; then wall_ms env -C "$dir/tiles" "$GM" mogrify -output-directory ../out_gm -format tga "${names[@]}"; gms+=("$WALL"); else gms+=(1); fi
    wall_ms touch "$dir"/out_touch/f{0001..1000}.tga; floor+=("$WALL")
  done
  local mo mt mg
  mo=$(median "${ours[@]}") mt=$(median "${theirs[@]}") mg=$(median "${gms[@]}")
  printf '1,000 x 64x64 PNG -> TGA in %s (%s): ours %s ms (-j 2), mogrify %s ms (%.2f), gm mogrify %s ms (%s)\n' \
    "$dir" "$([[ $over == 0 ]] && echo "empty folder" || echo "over existing outputs")" "$mo" "$mt" \
    "$(div "$mo" "$mt")" "$mg" "$([[ -n $GM ]] && div "$mo" "$mg" || echo -)"
  printf '  CPU ours %s ms, mogrify %s ms; creating 1,000 empty files there (one touch): %s ms; load %s\n' \
    "$(median "${ocpu[@]}")" "$(median "${tcpu[@]}")" "$(median "${floor[@]}")" "$(cut -d' ' -f1 /proc/loadavg)"
  printf '  files written: %s ours, %s mogrify\n' "$(ls "$dir/out_ours" | wc -l)" "$(ls "$dir/out_im" | wc -l)"
  # The floor of the writes alone: 1,000 files of our outputs' size, timed inside Python, the safe
  # way (temporary file, then a rename over the name) and in place as gm writes them.
  /usr/bin/python3 - "$dir/out_floor" "$over" "$(stat -c %s "$dir/out_ours/t_0000.tga")" <<'PY'
import os, shutil, sys, time
d, over, size = sys.argv[1], sys.argv[2] == '1', int(sys.argv[3])
data = b'\x01' * size
def run(safe):
    t0 = time.perf_counter()
    for i in range(1000):
        p = os.path.join(d, 'f%04d.tga' % i)
        if safe:
            t = p + '.tmp'
            fd = os.open(t, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
            os.write(fd, data); os.fchmod(fd, 0o644); os.close(fd); os.rename(t, p)
        else:
            fd = os.open(p, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
            os.write(fd, data); os.close(fd)
    return (time.perf_counter() - t0) * 1000
ms = []
for safe in (True, False):
    shutil.rmtree(d, ignore_errors=True); os.makedirs(d)
    if over: run(safe)
    ms.append(run(safe))
shutil.rmtree(d, ignore_errors=True)
print('  writing 1,000 files of %d bytes alone (Python): %.1f ms through a temporary file and a rename, %.1f ms in place' % (size, ms[0], ms[1]))
PY
}
echo "(batch targets against gm mogrify: 0.66 on the disk, 0.33 in /dev/shm)"
echo
batch "$PWD" 0
batch "$PWD" 1
rm -rf out_ours out_im out_gm out_touch
if [[ -d /dev/shm && -w /dev/shm ]]; then
  shm=$(mktemp -d /dev/shm/tarquil-bench.XXXXXX)
  cp -r tiles "$shm/"
  batch "$shm" 0
  batch "$shm" 1
  rm -rf "$shm"
fi
