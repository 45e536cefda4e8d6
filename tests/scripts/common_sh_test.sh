#!/usr/bin/env bash
# scripts/common.sh with stand-ins for cmake and dpkg-query on the PATH: which generator a
# build folder is configured with, which CMake options the program's build gets for the
# packages installed, and which packages ./run asks for.
set -uo pipefail
SATVIEW_ROOT=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/path"
# cmake records its arguments, one call a line; dpkg-query knows the packages in $work/installed.
cat >"$work/path/cmake" <<'STUB'
#!/bin/sh
echo "$*" >>"$STUB_LOG"
STUB
cat >"$work/path/dpkg-query" <<'STUB'
#!/bin/sh
for p; do :; done
grep -qx "$p" "$STUB_INSTALLED" && printf 'install ok installed'
STUB
chmod +x "$work/path/cmake" "$work/path/dpkg-query"
export PATH="$work/path:$PATH" STUB_LOG="$work/cmake.log" STUB_INSTALLED="$work/installed"
# shellcheck source=../../scripts/common.sh
source "$SATVIEW_ROOT/scripts/common.sh"

failures=0
expect() {  # expect WHAT ACTUAL PATTERN [no]: ACTUAL matches (or, with "no", does not) PATTERN
  local what=$1 actual=$2 pattern=$3 negate=${4:-}
  if [[ $actual =~ $pattern ]]; then [ -z "$negate" ] && return; else [ -n "$negate" ] && return; fi
  echo "FAIL: $what: \"$actual\" ${negate:+does not }expected to match \"$pattern\""
  failures=$((failures + 1))
}

# Generators: a new folder gets Ninja; one configured by hand keeps its own.
for case in "new||-G Ninja|" "makefiles|Unix Makefiles|-G|no" "ninja|Ninja|-G|no"; do
  IFS='|' read -r name cached pattern negate <<<"$case"
  dir="$work/build-$name"
  if [ -n "$cached" ]; then
    mkdir -p "$dir" && echo "CMAKE_GENERATOR:INTERNAL=$cached" >"$dir/CMakeCache.txt"
  fi
  : >"$STUB_LOG"
  SATVIEW_TARGET=satview_program configure_and_build "$dir" -DX=1
  configure=$(head -n 1 "$STUB_LOG")
  expect "configure of $name" "$configure" "$pattern" "$negate"
  expect "options of $name" "$configure" "-DSATVIEW_WERROR=ON -DX=1$"
  expect "build of $name" "$(sed -n 2p "$STUB_LOG")" "--build $dir .*--target satview_program$"
done

# The program's build options follow what is installed.
for case in ":OFF:OFF" "libgtest-dev libgmock-dev:ON:OFF" \
  "libgtest-dev libgmock-dev libbenchmark-dev:ON:ON" "libgtest-dev libbenchmark-dev:OFF:OFF"; do
  IFS=':' read -r installed tests bench <<<"$case"
  tr ' ' '\n' <<<"$installed" >"$STUB_INSTALLED"
  expect "options with \"$installed\"" "$(program_build_options)" \
    "^-DSATVIEW_TESTS=$tests -DSATVIEW_BENCH=$bench$"
done

# ./run asks for no package that only the tests use; ./test asks for those too.
listed() {  # listed WHAT LIST PACKAGE yes|no
  local found=no
  [[ " $2 " == *" $3 "* ]] && found=yes
  [ $found = "$4" ] && return
  echo "FAIL: $1: $3 listed: $found, expected $4"
  failures=$((failures + 1))
}
run="${SATVIEW_RUN_PACKAGES[*]}" all="${SATVIEW_RUN_PACKAGES[*]} ${SATVIEW_TEST_PACKAGES[*]}"
for p in googletest libgtest-dev libgmock-dev libbenchmark-dev clang umockdev python3-dbusmock \
  xvfb tmux lintian help2man; do
  listed "./run's packages" "$run" $p no
  listed "./test's packages" "$all" $p yes
done
for p in cmake g++ libwxgtk3.2-dev libncurses-dev; do listed "./run's packages" "$run" $p yes; done

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
