#!/usr/bin/env bash
# Installs the build folder into a fresh prefix and runs what was installed, from there, in a
# folder of its own:
#   install_test.sh BUILD VERSION MPI programs   every program: --help, --version, bad arguments
#                                                 and a run on an installed example
#   install_test.sh BUILD VERSION MPI layout     vornax-layout with the KLayout script it installs
#   install_test.sh BUILD VERSION MPI man        every man page: present, complete, no warnings
# MPI is ON when vornax-mpi was built. Exit status 77 skips a part whose tool is missing.
set -uo pipefail
build=$1 version=$2 mpi=$3 part=$4

prefix=$(mktemp -d "${TMPDIR:-/tmp}/vornax-install-test-XXXXXX")
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

if ! cmake --install "$build" --prefix "$prefix" >"$prefix/install.log" 2>&1; then
  cat "$prefix/install.log"
  echo "FAILED: cmake --install $build --prefix $prefix"
  exit 1
fi
bin=$prefix/bin examples=$prefix/share/doc/vornax/examples
companions=(vornax-gen vornax-view vornax-spice vornax-fine vornax-layout)
programs=(vornax "${companions[@]}")
[ "$mpi" = ON ] && programs+=(vornax-mpi vornax-fine-mpi)
mkdir "$prefix/work" && cd "$prefix/work" || exit 1

# Runs the installed PROGRAM with the remaining arguments; sets status, out and err.
run() {
  "$bin/$1" "${@:2}" >"$prefix/out" 2>"$prefix/err"
  status=$?
  out=$(cat "$prefix/out") err=$(cat "$prefix/err")
}

programs_part() {
  for program in "${programs[@]}"; do
    [ -x "$bin/$program" ] || fail "$bin/$program is not installed"
  done
  for program in "${companions[@]}"; do
    run "$program" --help
    [ "$status" = 0 ] && [ -z "$err" ] && [[ "$out" == "usage: $program "* ]] ||
      fail "$program --help: status $status, stdout '${out:0:60}', stderr '${err:0:60}'"
    run "$program" --version
    [ "$status" = 0 ] && [ "$out" = "$program $version" ] && [ -z "$err" ] ||
      fail "$program --version: status $status, stdout '$out', expected '$program $version'"
    run "$program" --no-such-option
    [ "$status" = 2 ] && [ -z "$out" ] && [[ "$err" == *"usage: $program "* ]] ||
      fail "$program --no-such-option: status $status, expected 2 and the usage on stderr"
  done
  # vornax keeps its command line: one argument, whatever it is; --version is a file name.
  run vornax
  [ "$status" = 1 ] && [ "$out" = "Program usage: VORNAX [InputFileName]" ] ||
    fail "vornax without arguments: status $status, stdout '$out'"
  run vornax --version
  [ "$status" = 1 ] && [ ! -e Cap.txt ] && [[ "$out$err" != *"$version"* ]] &&
    [[ "$err" == *"Error"* ]] || fail "vornax --version: status $status, stdout '$out', stderr '$err'"

  # The installed examples through the installed programs: vornax and vornax-spice give the
  # committed subcircuit of the 2 x 2 bus again, vornax-gen the committed cube.
  cp "$examples/bus2x2.txt" "$examples/cube.txt" .
  run vornax bus2x2.txt
  [ "$status" = 1 ] && [ "$(wc -l <Cap.txt)" = 4 ] && [[ "$out" == *"Sparsity of P Matrix"* ]] ||
    fail "vornax bus2x2.txt: status $status, stdout '$out', stderr '$err'"
  run vornax-spice bus2x2.txt Cap.txt --unit um
  [ "$status" = 0 ] && diff -u "$examples/bus2x2.cir" "$prefix/out" ||
    fail "vornax-spice bus2x2.txt Cap.txt --unit um differs from examples/bus2x2.cir"
  run vornax-gen cube 1
  [ "$status" = 0 ] && diff -u "$examples/cube.txt" "$prefix/out" ||
    fail "vornax-gen cube 1 differs from examples/cube.txt"
  run vornax-view bus2x2.txt --leaves
  [ "$status" = 0 ] && [[ "$out" == "<?xml"*"<svg"*"</svg>" ]] ||
    fail "vornax-view bus2x2.txt --leaves: status $status, stderr '$err'"
  # The unit cube: 0.6606782 * 4 pi eps0 (Hwang and Mascagni 2004) is 73.4757 pF, and
  # vornax-fine promises 1 % by default.
  run vornax-fine cube.txt
  [ "$status" = 0 ] && awk '{ exit !($1 > 0.99 * 73.4757 && $1 < 1.01 * 73.4757) }' Cap.txt ||
    fail "vornax-fine cube.txt: status $status, Cap.txt '$(cat Cap.txt 2>/dev/null)'"
  if [ "$mpi" = ON ]; then
    rm -f Cap.txt
    run vornax-mpi bus2x2.txt
    [ "$status" = 0 ] && [ "$(wc -l <Cap.txt)" = 4 ] ||
      fail "vornax-mpi bus2x2.txt: status $status, stderr '$err'"
  fi
}

layout_part() {
  if ! command -v klayout >/dev/null; then
    echo "SKIPPED: klayout is not installed (Debian package klayout); vornax-layout needs it"
    exit 77
  fi
  cp "$examples/layout/example.gds" "$examples/layout/stack.txt" .
  run vornax-layout example.gds stack.txt --substrate 2
  labels=$(awk '$1 == "Q" { print $2 }' "$prefix/out" | uniq | tr '\n' ' ')
  [ "$status" = 0 ] && [ "$labels" = "clk_a data_b met1_x0_y3 substrate vdd " ] ||
    fail "vornax-layout example.gds: status $status, conductors '$labels', stderr '$err'"
  # The script it runs is the installed one, not the copy in the build or source folder: a
  # stand-in there that fails names itself in vornax-layout's message.
  script=$prefix/share/vornax/vornax_layout.py
  [ -f "$script" ] || fail "$script is not installed"
  echo 'raise RuntimeError("the installed script")' >"$script"
  run vornax-layout example.gds stack.txt
  [ "$status" = 1 ] && [[ "$err" == *"$bin/../share/vornax/vornax_layout.py"* ]] ||
    fail "vornax-layout did not run $script: status $status, stderr '$err'"
}

man_part() {
  local sections=(NAME SYNOPSIS DESCRIPTION OPTIONS ENVIRONMENT "EXIT STATUS" FILES EXAMPLES
    "SEE ALSO")
  for program in "${programs[@]}"; do
    page=$(ls "$prefix/share/man/man1/$program.1"* 2>/dev/null | head -1)
    if [ -z "$page" ]; then
      fail "no man page $prefix/share/man/man1/$program.1"
      continue
    fi
    text=$(zcat -f "$page")
    for section in "${sections[@]}"; do
      grep -qx "\.SH \"\?$section\"\?" <<<"$text" || fail "$page has no section $section"
    done
    grep -q "Cap\.txt" <<<"$text" || fail "$page does not mention Cap.txt"
    grep -q "@PROJECT_VERSION@" <<<"$text" && fail "$page has no version"
  done
  if ! command -v man >/dev/null; then
    echo "SKIPPED: the rendering of the pages: man is not installed (Debian package man-db)"
    exit 77
  fi
  for program in "${programs[@]}"; do
    page=$(ls "$prefix/share/man/man1/$program.1"* 2>/dev/null | head -1)
    [ -n "$page" ] || continue
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man -l $page: $warnings"
    found=$(MANPATH=$prefix/share/man man -w "$program" 2>&1)
    [ "$found" = "$page" ] || fail "man -w $program finds '$found', not $page"
  done
}

case $part in
  programs) programs_part ;;
  layout) layout_part ;;
  man) man_part ;;
  *) echo "unknown part '$part'" && exit 2 ;;
esac
[ "$failures" = 0 ] || exit 1
echo "$part: all checks passed"
