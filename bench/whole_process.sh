#!/usr/bin/env bash
# Whole-process figures of tarquil-cli beside ImageMagick, measured in the same run:
#   - convert of a 2048 x 2048 RGBA picture from PNG, TGA RLE, JPEG and BMP to TGA (median wall
#     time of RUNS runs each, ours / ImageMagick's convert),
#   - `tarquil-cli --help` (median wall time, peak RSS),
#   - peak RSS of each 2048 x 2048 conversion against the picture's 16 MiB,
#   - 1,000 files of 64 x 64 PNG to TGA: `convert --out-dir -j 2` against `mogrify -format tga`.
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
printf '%-24s %9s %9s %6s   %9s %9s %6s  %8s\n' "2048x2048 -> TGA" "ours ms" "IM ms" "ratio" \
  "ours CPU" "IM CPU" "ratio" "peak MiB"
for input in src.png src_rle.tga src.jpg src.bmp; do
  ours=() theirs=() ocpu=() tcpu=()
  for ((k = 0; k < RUNS; ++k)); do  # interleaved, so both see the same machine load
    wall_ms "$CLI" convert "$input" out.tga; ours+=("$WALL"); ocpu+=("$LAST_CPU")
    wall_ms "$IM_CONVERT" "$input" im.tga; theirs+=("$WALL"); tcpu+=("$LAST_CPU")
  done
  mo=$(median "${ours[@]}") mt=$(median "${theirs[@]}")
  co=$(median "${ocpu[@]}") ct=$(median "${tcpu[@]}")
  kb=$(peak_kb "$CLI" convert "$input" out.tga)
  printf '%-24s %9s %9s %6.2f   %9s %9s %6.2f  %8.1f\n' "convert $input" "$mo" "$mt" "$(div "$mo" "$mt")" \
    "$co" "$ct" "$(div "$co" "$ct")" "$(div "$kb" 1024)"
done
echo "(medians; target: wall-time ratio at most 0.33, peak at most 40 MiB = 2.5 x the 16 MiB picture)"

echo
help=()
helpcpu=()
for ((k = 0; k < RUNS; ++k)); do wall_ms "$CLI" --help; help+=("$WALL"); helpcpu+=("$LAST_CPU"); done
printf 'tarquil-cli --help: %s ms (CPU %s ms), peak %.1f MiB (target: under 5 ms and 10 MiB)\n' \
  "$(median "${help[@]}")" "$(median "${helpcpu[@]}")" "$(div "$(peak_kb "$CLI" --help)" 1024)"

# The batch, where the files are (creating a file costs as much as converting a small one on some
# disks, so the floor of that is shown too) and, where /dev/shm exists, in memory.
batch() {
  local dir=$1 ours=() theirs=() floor=() ocpu=() tcpu=()
  for ((k = 0; k < RUNS; ++k)); do
    rm -rf "$dir/out_ours" "$dir/out_im" "$dir/out_touch" && mkdir "$dir/out_im" "$dir/out_touch"
    wall_ms "$CLI" convert "$dir"/tiles/*.png --out-dir "$dir/out_ours" --to tga -j 2; ours+=("$WALL"); ocpu+=("$LAST_CPU")
    wall_ms "$IM_MOGRIFY" -path "$dir/out_im" -format tga "$dir"/tiles/*.png; theirs+=("$WALL"); tcpu+=("$LAST_CPU")
    wall_ms touch "$dir"/out_touch/f{0001..1000}.tga; floor+=("$WALL")
  done
  local mo mt
  mo=$(median "${ours[@]}") mt=$(median "${theirs[@]}")
  printf '1,000 x 64x64 PNG -> TGA in %s: ours %s ms (-j 2), mogrify %s ms, %.1f times faster (target: 5)\n' \
    "$dir" "$mo" "$mt" "$(div "$mt" "$mo")"
  printf '  CPU ours %s ms, mogrify %s ms; creating 1,000 empty files there (one touch): %s ms\n' \
    "$(median "${ocpu[@]}")" "$(median "${tcpu[@]}")" "$(median "${floor[@]}")"
  printf '  files written: %s ours, %s mogrify\n' "$(ls "$dir/out_ours" | wc -l)" "$(ls "$dir/out_im" | wc -l)"
  rm -rf "$dir/out_ours" "$dir/out_im" "$dir/out_touch"
}
echo
batch "$PWD"
if [[ -d /dev/shm && -w /dev/shm ]]; then
  shm=$(mktemp -d /dev/shm/tarquil-bench.XXXXXX)
  cp -r tiles "$shm/"
  batch "$shm"
  rm -rf "$shm"
fi
