#!/usr/bin/env bash
# End-to-end check of what tarquil-cli does with hostile settings and with inputs and outputs that
# are no plain files: nothing blocks, nothing aborts, devices stay devices, links stay
# links, permission bits stay, a stopped write leaves no temporary file.
set -u
cli="$1"; sample="$2"
# Refuse to run with a binary older than its sources (a failed build): it may still write through
# the old unsafe path.
[ -n "$(find "$(dirname "$0")/../../texlib/stream.cpp" -newer "$cli" 2>/dev/null)" ] && {
  echo "files_smoke: $cli is older than texlib/stream.cpp; rebuild first"; exit 1; }
dir=$(mktemp -d); trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config"
conf="$XDG_CONFIG_HOME/BrightvaleWorks/Tarquil Studio 1.0.conf"
mkdir -p "$(dirname "$conf")"
pass=0; fail=0
check() { if [ "$1" = "$2" ]; then pass=$((pass+1)); else echo "FAIL: $3 (got $1, want $2)"; fail=$((fail+1)); fi; }
t() { timeout 60 "$cli" "$@"; }  # a hang shows as status 124
"$sample" "$dir/s" >/dev/null; check $? 0 "sample generator"
in="$dir/s/walk_000.tga"

# Settings: bad escapes read as missing, they abort nothing.
printf '[Settings]\nCompressTGA=0\nbad%%ZZkey=1\n[Gr%%Goup]\nx=1\n' > "$conf"
t info "$in" >/dev/null 2>&1; check $? 0 "bad escape in the settings"
# palfile: a FIFO is never waited on, and the palette file is read only when a palette is needed.
mkfifo "$dir/pal.fifo"
printf '[Settings]\npalfile=%s\n' "$dir/pal.fifo" > "$conf"
t info "$in" >/dev/null 2>&1; check $? 0 "palfile FIFO, info"
t convert "$in" "$dir/c.tga" 2>/dev/null; check $? 0 "palfile FIFO, convert"
printf 'JASC-PAL\n0100\n256\nnot a colour\n' > "$dir/bad.pal"
printf '[Settings]\npalfile=%s\n' "$dir/bad.pal" > "$conf"
t info "$in" >/dev/null 2>"$dir/err.txt"; check $? 0 "damaged palfile, info"
[ ! -s "$dir/err.txt" ]; check $? 0 "palfile not read by info"
printf '\002\0\0\0\001\0\0\0\0\0' > "$dir/l.lmp"
t convert "$dir/l.lmp" "$dir/l.tga" 2>"$dir/err.txt"; check $? 0 "lump with the palette"
grep -q 'Invalid JASC PAL data' "$dir/err.txt"; check $? 0 "palfile read for the lump, warned"
rm -f "$conf"

# Inputs that are no regular file.
mkfifo "$dir/in.fifo"
t info "$dir/in.fifo" >/dev/null 2>"$dir/err.txt"; check $? 1 "FIFO input"
grep -q 'is not a regular file' "$dir/err.txt"; check $? 0 "FIFO input named so"
t convert "$dir/s" "$dir/x.tga" 2>"$dir/err.txt"; check $? 1 "directory input"
grep -q 'is a directory' "$dir/err.txt"; check $? 0 "directory input named so"
head -c 300 /dev/urandom > "$dir/junk.tga"; printf '\000\377' | dd of="$dir/junk.tga" bs=1 seek=1 conv=notrunc 2>/dev/null
t convert "$dir/junk.tga" "$dir/x.tga" 2>"$dir/err.txt"; check $? 1 "junk input"
grep -q 'Unrecognised file format' "$dir/err.txt"; check $? 0 "junk named so"

# Outputs: a device, a FIFO, a link, an existing file's bits.
"$cli" edit "$in" "$dir/sheet.tga" --strip >/dev/null 2>&1  # an image with its position list
# Devices are only ever reached through names in $dir or /dev/fd, never /dev/null or /dev/stdout
# themselves: a stale binary that still replaced its target must not damage the machine.
ln -s /dev/null "$dir/devnull.c"
t codegen "$dir/sheet.tga" -o /dev/fd/1 >"$dir/code.txt" 2>"$dir/err.txt"; check $? 0 "codegen -o /dev/fd/1"
grep -q 'Frame 12' "$dir/code.txt"; check $? 0 "the code came through standard output"
t codegen "$dir/sheet.tga" -o "$dir/devnull.c" 2>/dev/null; check $? 0 "codegen into a link to /dev/null"
[ -L "$dir/devnull.c" ] && [ -c /dev/null ]; check $? 0 "/dev/null still a device"
ln -s /dev/null "$dir/null.tga"
t convert "$in" "$dir/null.tga"; check $? 0 "link to /dev/null"
[ -L "$dir/null.tga" ] && [ -c /dev/null ]; check $? 0 "link and device stay"
mkfifo "$dir/out.tga"
cat "$dir/out.tga" > "$dir/from_fifo.tga" & reader=$!
t convert "$in" "$dir/out.tga"; check $? 0 "FIFO output"
wait $reader
[ -p "$dir/out.tga" ]; check $? 0 "FIFO stays a FIFO"
t info "$dir/from_fifo.tga" | grep -q 'type 512 (TGA)'; check $? 0 "the FIFO carried the image"
mkdir "$dir/real"; cp "$in" "$dir/real/target.tga"; ln -s real/target.tga "$dir/link.tga"
t convert "$dir/s/walk_001.tga" "$dir/link.tga"; check $? 0 "link output"
[ -L "$dir/link.tga" ] && cmp -s "$dir/real/target.tga" "$dir/link.tga"; check $? 0 "link followed"
cp "$in" "$dir/mode.tga"; chmod 640 "$dir/mode.tga"
t convert "$dir/s/walk_002.tga" "$dir/mode.tga"; check $? 0 "existing output"
[ "$(stat -c %a "$dir/mode.tga")" = 640 ]; check $? 0 "permission bits kept"
ls "$dir" "$dir/real" | grep -q 'tmp-'; check $? 1 "no temporary file left"

# One frame goes to exactly OUT; the input stays.
cp "$in" "$dir/icon.tga"; before=$(md5sum < "$dir/icon.tga")
t edit "$dir/icon.tga" "$dir/icon256.tga" --scale 24x24; check $? 0 "numbered OUT, one frame"
[ "$(md5sum < "$dir/icon.tga")" = "$before" ] && [ -f "$dir/icon256.tga" ]; check $? 0 "input kept, OUT written"
t convert "$in" "$dir/b.tga" --frames all --series --increment 0 2>/dev/null; check $? 2 "--increment 0"
t convert "$in" "$dir/b.tga" --frames all --series --increment -1 2>/dev/null; check $? 2 "--increment -1"
echo "$pass passed, $fail failed"
[ "$fail" = 0 ]
