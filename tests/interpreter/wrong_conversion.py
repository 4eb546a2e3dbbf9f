#!/usr/bin/env python3
"""A deliberately wrong converter, for showing that the checks can fail: it
runs the program, then replaces the first blank inside a string of the
output with a line feed, and the blank of "currentfile eexec" too.

usage: wrong_conversion.py PROGRAM [ARG...]
"""
import subprocess
import sys

r = subprocess.run(sys.argv[1:], stdout=subprocess.PIPE)
out = bytearray(r.stdout)
depth = 0
for i, c in enumerate(out):
    if c == ord("(") and (i == 0 or out[i - 1] != ord("\\")):
        depth += 1
    elif c == ord(")") and out[i - 1] != ord("\\"):
        depth -= 1
    elif c == ord(" ") and depth > 0:
        out[i] = ord("\n")
        break
sys.stdout.buffer.write(bytes(out).replace(b"currentfile eexec", b"currentfile\neexec"))
sys.exit(r.returncode)
