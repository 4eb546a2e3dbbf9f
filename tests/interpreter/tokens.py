#!/usr/bin/env python3
"""PostScript text keeps its tokens.

Generates seeded PostScript-like text packets (long lines; strings with
nested parentheses and every kind of escape; comments with parentheses and
backslashes, some ended by a form feed; hex strings, procedures; all three
line ends; every kind of blank; the column limit falling anywhere),
converts each one and checks that Ghostscript's scanner reads the same
tokens, with the same string contents, from the conversion as from the
packet.

usage: tokens.py CONVERTER... [--seed N] [--count N]
CONVERTER is the program, or any command that converts the same way, with
its arguments.
"""
import argparse
import concurrent.futures
import os
import random
import subprocess
import sys
import tempfile

from interpreter import ghostscript, here


def string_literal(rng, depth=0):
    parts = ["("]
    for _ in range(rng.randrange(1, 40)):
        r = rng.randrange(100)
        if r < 40:
            parts.append("".join(rng.choice("abcdefghij") for _ in range(rng.randrange(1, 12))))
        elif r < 55:
            parts.append(rng.choice([" ", "  ", "\t", "\f", " \t "]))
        elif r < 62 and depth < 3:
            parts.append(string_literal(rng, depth + 1))
        elif r < 85:
            parts.append(rng.choice([
                "\\n", "\\r", "\\t", "\\b", "\\f", "\\\\", "\\(", "\\)", "\\q", "\\ ",
                "\\" + rng.choice("01234567"),
                "\\" + "".join(rng.choice("01234567") for _ in range(2)),
                "\\" + "".join(rng.choice("01234567") for _ in range(3)),
                "\\" + "".join(rng.choice("0123456789") for _ in range(4)),
                "\\\n", "\\\r", "\\\r\n"]))
        elif r < 92:
            parts.append(rng.choice(["\n", "\r", "\r\n"]))
        else:
            parts.append(rng.choice(["%", "%%", "{", "}", "[", "<", "/", "\xe9", "\xff"]))
    parts.append(")")
    return "".join(parts)


def comment(rng):
    body = "".join(rng.choice("abcdef  ()\\%{}") for _ in range(rng.randrange(0, 160)))
    if rng.randrange(3) == 0:
        # A form feed ends the comment as a line end does: code follows.
        body = body[:rng.randrange(len(body) + 1)] + "\f" + " ".join(
            token(rng) for _ in range(rng.randrange(1, 6)))
    return "%" + body


def token(rng):
    r = rng.randrange(100)
    if r < 25:
        return rng.choice(["dup", "exch", "def", "put", "get", "begin", "end", "readonly",
                           "/FontName", "/Notice", "1000", "-0.5", "16#ff", "3.14e2"])
    if r < 30:
        return "/" + "x" * rng.randrange(60, 120)
    if r < 38:
        return "<" + " ".join(rng.choice("0123456789abcdef") * 2 for _ in range(rng.randrange(1, 40))) + ">"
    if r < 45:
        return "{" + " ".join(rng.choice(["dup", "mul", "1", "(s t)", "{pop}"]) for _ in range(rng.randrange(0, 30))) + "}"
    if r < 50:
        return "[" + " ".join(str(rng.randrange(-999, 999)) for _ in range(rng.randrange(0, 30))) + "]"
    if r < 75:
        return string_literal(rng)
    if r < 85:
        return comment(rng) + rng.choice(["\n", "\r", "\r\n"])
    return rng.choice(["<<", ">>", "[", "]"])


def packet(rng):
    """A text packet body: tokens, blanks and line ends, ASCII outside strings."""
    parts = ["x" * rng.randrange(0, 80) + " "] if rng.randrange(3) == 0 else []
    for _ in range(rng.randrange(1, 60)):
        parts.append(token(rng))
        parts.append(rng.choice([" ", " ", " ", "  ", "\t", "\f", "\n", "\r", "\r\n", " \r\n"]))
    return "".join(parts).encode("latin-1")


def pfb(body):
    n = len(body)
    return bytes([0x80, 1, n & 255, n >> 8 & 255, n >> 16 & 255, n >> 24 & 255]) + body + b"\x80\x03"


def convert(converter, body, path):
    r = subprocess.run(converter, input=pfb(body), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if r.returncode != 0:
        raise RuntimeError(f"conversion failed with status {r.returncode}: {r.stderr.decode()}")
    with open(path, "wb") as f:
        f.write(r.stdout)


def scan(gs, files, script):
    """The token lists of the files, as Ghostscript reads them."""
    with open(script, "w") as f:
        for i, name in enumerate(files):
            f.write(f"(\\n=== {i}\\n) print ({name}) dump\n")
    r = subprocess.run([gs, "-q", "-dNODISPLAY", "-dNOSAFER", "-dBATCH", "-dNOPAUSE",
                        os.path.join(here, "tokens.ps"), script],
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    out = r.stdout.decode("latin-1").split("\n=== ")[1:]
    lists = {}
    for chunk in out:
        number, _, rest = chunk.partition("\n")
        lists[int(number)] = rest.rstrip("\n")
    return [lists.get(i) for i in range(len(files))]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("converter", nargs="+")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--count", type=int, default=2000)
    args = parser.parse_args()
    gs = ghostscript()
    rng = random.Random(args.seed)
    bodies = [packet(rng) for _ in range(args.count)]
    with tempfile.TemporaryDirectory() as work:
        files = []
        for i, body in enumerate(bodies):
            files += [os.path.join(work, f"{i}.ps"), os.path.join(work, f"{i}.out")]
            with open(files[-2], "wb") as f:
                f.write(body)
        with concurrent.futures.ThreadPoolExecutor(2) as pool:
            list(pool.map(lambda i: convert(args.converter, bodies[i], files[2 * i + 1]), range(len(bodies))))
        half = len(bodies) // 2 * 2
        with concurrent.futures.ThreadPoolExecutor(2) as pool:
            lists = sum(pool.map(lambda part: scan(gs, files[part], os.path.join(work, f"scan{part.start}.ps")),
                                 [slice(0, half), slice(half, None)]), [])
        # Every packet has tokens: one of which Ghostscript reads none is a failure, which checks nothing.
        failed = [i for i in range(len(bodies)) if not lists[2 * i] or lists[2 * i] != lists[2 * i + 1]]
        errors = sum(1 for i in range(len(bodies)) if lists[2 * i] and "ERROR" in lists[2 * i])
        for i in failed[:10]:
            print(f"FAIL: seed {args.seed}, packet {i}: " + ("the conversion scans to other tokens"
                  if lists[2 * i] else "Ghostscript reads no tokens from it") + f": {bodies[i][:300]!r}")
    print(f"{len(bodies)} packets scanned ({errors} end in a scanner error in both)")
    print(f"{len(bodies) - len(failed)} passed, {len(failed)} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
