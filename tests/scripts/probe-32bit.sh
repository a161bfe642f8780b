#!/usr/bin/env bash
# Exits 0 when this machine executes 32-bit x86 code (a tiny i386 Linux program,
# assembled here, runs and answers), 1 otherwise. 32-bit Wine needs the same.
set -u
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
cat >"$dir/probe.s" <<'ASM'
.globl _start
_start:
    movl $1, %eax     # exit
    movl $42, %ebx    # with status 42
    int $0x80
ASM
as --32 -o "$dir/probe.o" "$dir/probe.s" 2>/dev/null &&
  ld -m elf_i386 -o "$dir/probe" "$dir/probe.o" 2>/dev/null || exit 1
"$dir/probe" 2>/dev/null
[ $? -eq 42 ]
