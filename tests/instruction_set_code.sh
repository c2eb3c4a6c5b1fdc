#!/bin/sh
# The objects compiled once per instruction set (file names ending _sse2, _avx2, _avx512) must
# not define a function on vector types that the linker may share: a template instantiated on a
# vector type in two of them is one weak symbol, and the linker keeps one path's code for all
# of them (once, the avx512 copy of a fold ran for sse2 too). Such code belongs in an .inc file
# included inside an unnamed namespace. Arguments: the object files to look at, one each or as
# CMake lists (separated by ';').
status=0
looked=0
for object in $(echo "$@" | tr ';' ' '); do
  case "$object" in
    *_sse2.cpp.o | *_avx2.cpp.o | *_avx512.cpp.o) ;;
    *) continue ;;
  esac
  looked=$((looked + 1))
  shared=$(nm -C --defined-only "$object" | grep ' [WVu] ' | grep '__vector')
  if [ -n "$shared" ]; then
    echo "$object: weak code on vector types, shared by the linker with the other paths:"
    echo "$shared"
    status=1
  fi
done
if [ "$looked" -eq 0 ]; then
  echo "no object of an instruction-set path among the arguments"
  exit 1
fi
exit $status
