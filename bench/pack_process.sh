#!/usr/bin/env bash
# Whole-process time of `tarquil-cli pack` on a folder of 5,000 small PNG sprites (16 x 20, noisy
# colour and alpha, made once with ImageMagick), with a JSON hash data file: median wall time of
# RUNS runs and the peak memory. Target: under 2 s on the development machine.
# usage: bench/pack_process.sh [path/to/tarquil-cli] [work dir]   (RUNS=3 by default)
set -euo pipefail
CLI=${1:-build-bench/tarquil-cli}
WORK=${2:-${TMPDIR:-/tmp}/tarquil-pack-process}
RUNS=${RUNS:-3}
IM_CONVERT=$(command -v /usr/bin/convert || command -v convert || true)
if [[ ! -x $CLI ]]; then echo "pack_process: $CLI is not built" >&2; exit 1; fi
if [[ -z $IM_CONVERT ]]; then echo "pack_process: ImageMagick's convert makes the sprites" >&2; exit 1; fi
CLI=$(realpath "$CLI")
mkdir -p "$WORK"
cd "$WORK"
if [[ ! -d sprites ]]; then
  "$IM_CONVERT" -seed 3 -size 1600x1000 plasma:fractal -alpha set -channel A -fx 'rand()>0.3?1:0' \
    +channel PNG32:big.png
  mkdir -p sprites.tmp
  "$IM_CONVERT" big.png -crop 16x20 +repage PNG32:sprites.tmp/s_%04d.png
  mv sprites.tmp sprites
fi
times=()
for ((k = 0; k < RUNS; ++k)); do
  t0=$EPOCHREALTIME
  "$CLI" pack sprites -o out/sheet.png --data out/sheet.json --padding 2 >/dev/null
  t1=$EPOCHREALTIME
  times+=("$(awk -v us=$(( 10#${t1/./} - 10#${t0/./} )) 'BEGIN {printf "%.3f", us / 1e6}')")
done
median=$(printf '%s\n' "${times[@]}" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}')
/usr/bin/time -f %M -o rss.txt "$CLI" pack sprites -o out/sheet.png --data out/sheet.json --padding 2 >/dev/null
echo "pack of $(ls sprites | wc -l) PNG sprites: ${median} s whole-process (median of $RUNS), peak $(( $(tail -1 rss.txt) / 1024 )) MiB (target: under 2 s)"
