#!/usr/bin/env python3
"""A deliberately wrong converter, for showing that the checks can fail: it
runs the program, then puts a line feed in place of the first blank after a
word that opens a string, and of the blank of "currentfile eexec".

usage: wrong_conversion.py PROGRAM [ARG...]
"""
import re
import subprocess
import sys

r = subprocess.run(sys.argv[1:], stdout=subprocess.PIPE)
out = re.sub(rb"(\(\w+) ", rb"\1\n", r.stdout, count=1).replace(b"currentfile eexec", b"currentfile\neexec")
sys.stdout.buffer.write(out)
sys.exit(r.returncode)
