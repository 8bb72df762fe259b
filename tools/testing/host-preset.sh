#!/bin/bash
# Prints the build preset this machine can test: "mingw32" where 32-bit code
# runs (the shipped engine, tested as shipped, in a 32-bit Wine prefix), else
# "mingw64" (the same sources built for 64-bit Windows and tested in a 64-bit
# prefix). Some virtual machines have no 32-bit execution at all, and Wine's
# 32-bit loader cannot start there. MF_PRESET overrides the choice.
if [ -n "${MF_PRESET:-}" ]; then
  echo "$MF_PRESET"
elif /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo mingw32
else
  echo mingw64
fi
