#!/bin/sh
# Ninja and GNU Make read the depfile of a run whose names hold a space, '#' and '$'.
# usage: depfile_consumers.sh TARQUIL_CLI MAKE_SAMPLE
cli=$1
fail=0
check() { if [ "$1" != "$2" ]; then echo "FAIL: $3 (got '$1', expected '$2')"; fail=1; fi; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
# A settings file in the user's home would be a prerequisite too; this run reads none.
export XDG_CONFIG_HOME="$work/config"
"$2" x >/dev/null || exit 1
# The series' folder is a prerequisite too, so the inputs lie apart from the outputs.
mkdir 'in #1'
cp x/walk_000.tga 'in #1/walk $000.tga'
cp x/walk_001.tga 'in #1/walk $001.tga'
printf 'convert\nin #1/walk $000.tga\nout put#$.png\n--frames\nall\n--strip\n--depfile\nout.d\n' > args.rsp

if command -v ninja >/dev/null; then
  cat > build.ninja <<NINJA
rule tq
  command = $cli @args.rsp
  depfile = out.d
  deps = gcc
build out\$ put#\$\$.png out\$ put#\$\$.png_pos.txt out\$ put#\$\$.png.map: tq
NINJA
  ninja >ninja1.log 2>&1
  check $? 0 "ninja build"
  check "$(ninja -t deps | sed -n '2,4p' | sed 's/^ *//')" \
    "$(printf 'in #1/walk $000.tga\nin #1/walk $001.tga\nin #1')" \
    "ninja reads the prerequisites"
  check "$(ninja | tail -1)" "ninja: no work to do." "ninja: nothing to do"
  sleep 1
  touch 'in #1/walk $001.tga'
  check "$(ninja | grep -c tarquil-cli)" 1 "ninja: a touched member rebuilds"
  rm -f .ninja_deps .ninja_log out.d
else
  echo "ninja not installed: its part skipped"
fi

if command -v make >/dev/null; then
  "$cli" @args.rsp || { echo "FAIL: convert"; exit 1; }
  printf '%%.png:\n\t@echo rebuild\n' > rules.mk
  make -q -f out.d -f rules.mk
  check $? 0 "make: up to date"
  sleep 1
  touch 'in #1/walk $001.tga'
  make -q -f out.d -f rules.mk
  check $? 1 "make: a touched member makes it out of date"
  rm 'in #1/walk $000.tga'
  make -q -f out.d -f rules.mk 2>make.err
  check $? 2 "make: a removed input has no rule"
  grep -q "No rule to make target 'in #1/walk \$000.tga'" make.err || { echo "FAIL: make's message"; cat make.err; fail=1; }
else
  echo "make not installed: its part skipped"
fi
[ $fail = 0 ] && echo "depfile consumers: all checks passed"
exit $fail
