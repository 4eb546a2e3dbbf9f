#!/usr/bin/env python3
"""Real fonts, checked by a real interpreter.

Converts the segmented fonts (.pfb) installed (with --all, every one under
/usr/share; see installed) and the sample font, and has Ghostscript check that
the converted text builds the same font as the original file: same FontName,
FontInfo, FontMatrix, FontBBox, Encoding, Private entries and CharStrings,
byte for byte, which is all that draws a glyph. A font is skipped, with the
reason, where the judge does not find its original alike with itself.

With --readers, the judge is a font reader that finds the encrypted part by
its text instead, fontTools: it must read the same CharStrings from the
conversion as from the original, also from a few fonts whose last clear-text
lines are rewritten so that the limit falls near "currentfile eexec".

usage: fonts.py [--readers] [--all] [--list] --sample FONT [--font FONT]... CONVERTER...
CONVERTER is the program, or any command that converts the same way, with
its arguments; --font names the fonts to check instead of those installed;
--list prints those installed that it would check.
"""
import argparse
import concurrent.futures
import glob
import os
import shutil
import subprocess
import sys
import tempfile

from interpreter import REQUIRED, SKIP, ghostscript, here

def convert(converter, font, out):
    with open(out, "wb") as f:
        r = subprocess.run(converter + [font], stdout=f, stderr=subprocess.PIPE)
    if r.returncode != 0:
        return f"conversion failed: {font}: status {r.returncode}: {r.stderr.decode().strip()}"
    return None


def check_fonts(gs, pairs, work):
    """Runs fontcheck.ps on the pairs in two batches; returns what it says of each original not the same."""
    batches = [pairs[0::2], pairs[1::2]]

    def run(i):
        script = os.path.join(work, f"pairs{i}.ps")
        with open(script, "w") as f:
            for original, converted in batches[i]:
                f.write(f"({original}) ({converted}) compare\n")
        r = subprocess.run(
            [gs, "-q", "-dNODISPLAY", "-dNOSAFER", "-dWRITESYSTEMDICT", "-dBATCH",
             "-dNOPAUSE", os.path.join(here, "fontcheck.ps"), script],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors="replace")
        lines = r.stdout.splitlines()
        said = {line.split()[1]: line for line in lines if line.split()[:1] in (["same"], ["differ"], ["error"])}
        bad = {}
        for original, _ in batches[i]:
            line = said.get(original)
            if line is None:
                bad[original] = f"no answer from Ghostscript for {original} (exit {r.returncode}): {r.stdout[-300:]}"
            elif not line.startswith("same "):
                bad[original] = line
        return bad

    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        return {k: v for batch in pool.map(run, range(2)) for k, v in batch.items()}


# Fonts whose clear text is rewritten for the reader check, and the lines
# that end it there: a line end inside a token past the limit, and the limit
# on "currentfile"; each also ended by a blank instead, as font tools write it.
REWRITTEN = ["lmr10.pfb", "c059013d.pfb", "qhvr.pfb", "cmr10.pfb"]
ENDINGS = [b"/Pad (" + b"p" * 43 + b") readonly def currentdict end\ncurrentfile eexec\n",
           b"/Pad (" + b"p" * 35 + b") readonly def currentdict end currentfile eexec\n"]
ENDINGS += [ending[:-1] + b" " for ending in ENDINGS]


# The packages whose fonts the checks take: those tests/run installs, and
# those that bring fonts with them.
PACKAGES = ["fonts-urw-base35", "lmodern", "t1-cyrillic", "tex-gyre", "texlive-base", "texlive-fonts-recommended"]


# The fewest fonts the checks take, where they take the installed ones.
MINIMUM = 300


def installed(every):
    """The fonts that the checks take: those of PACKAGES, the same on any Debian machine as in CI
    whatever else it has; every one under /usr/share where asked, or where dpkg is not. A package
    not installed is named, and fails the run where the tools are required, as do fewer than
    MINIMUM fonts, which skip it elsewhere."""
    fonts, missing = sorted(glob.glob("/usr/share/**/*.pfb", recursive=True)), []
    if not every and shutil.which("dpkg-query"):
        query = lambda *how: subprocess.run(["dpkg-query", *how, *PACKAGES], stdout=subprocess.PIPE,  # noqa: E731
                                            stderr=subprocess.DEVNULL, text=True).stdout.split("\n")
        present = query("-W", "-f", "${Package} ${db:Status-Status}\n")
        missing = [p for p in PACKAGES if f"{p} installed" not in present]
        fonts = sorted(f for f in query("-L") if f.endswith(".pfb") and os.path.isfile(f))
    if missing:
        print("font packages not installed:", *missing, file=sys.stderr)
    if (missing and REQUIRED) or len(fonts) < MINIMUM:
        print(f"{'FAIL' if REQUIRED else 'skipped'}: {len(fonts)} fonts installed, {MINIMUM} wanted", file=sys.stderr)
        sys.exit(1 if REQUIRED else SKIP)
    return fonts


def rewrite(font, ending, eol, work, name):
    """The font with the last two lines of its clear text replaced by ending,
    and eol for its line ends; a last one stays one byte, as fontTools reads
    the original only so."""
    with open(font, "rb") as f:
        data = f.read()
    n = int.from_bytes(data[2:6], "little")
    lines = data[6:6 + n].replace(b"\r\n", b"\n").replace(b"\r", b"\n").split(b"\n")
    body = (b"\n".join(lines[:-3]) + b"\n" + ending).replace(b"\n", eol)
    if ending.endswith(b"\n"):
        body = body[:-len(eol)] + eol[-1:]
    out = os.path.join(work, name)
    with open(out, "wb") as f:
        f.write(data[:2] + len(body).to_bytes(4, "little") + body + data[6 + n:])
    return out


def charstrings(path):
    from fontTools import t1Lib
    from fontTools.misc import psLib
    return psLib.suckfont(t1Lib.T1Font(path).data, "latin-1")["CharStrings"]


def read_alike(pair):
    """None, or why fontTools does not read the same CharStrings from both."""
    original, converted = pair
    try:
        want = charstrings(original)
    except Exception as e:
        return f"fontTools cannot read {original}: {e}"
    if not want:
        return f"fontTools reads no glyphs from {original}"
    try:
        got = charstrings(converted)
    except Exception as e:
        return f"fontTools cannot read the conversion of {original}: {e}"
    return None if got == want else f"fontTools reads other CharStrings from the conversion of {original}"


def check_readers(pairs):
    """Why fontTools does not read the pair alike, for each original it does not."""
    with concurrent.futures.ProcessPoolExecutor(2) as pool:
        return {o: why for (o, _), why in zip(pairs, pool.map(read_alike, pairs, chunksize=8)) if why}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--readers", action="store_true")
    parser.add_argument("--all", action="store_true")
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--sample")
    parser.add_argument("--font", action="append")
    parser.add_argument("converter", nargs="*")
    args = parser.parse_args()
    if args.list:
        print("\n".join(installed(args.all)))
        return 0
    if args.readers:
        try:
            import fontTools  # noqa: F401
        except ImportError:
            print("skipped: fontTools is not installed (Debian package python3-fonttools)")
            return 1 if REQUIRED else SKIP
    else:
        gs = ghostscript()
    fonts = args.font or installed(args.all) + [args.sample]
    failures = []
    with tempfile.TemporaryDirectory() as work:
        if args.readers:
            fonts += [rewrite(font, ending, eol, work, f"{i}-{j}-{k}-{os.path.basename(font)}")
                      for i, font in enumerate(f for f in fonts if os.path.basename(f) in REWRITTEN)
                      for j, ending in enumerate(ENDINGS) for k, eol in enumerate([b"\n", b"\r", b"\r\n"])]
        pairs = []
        for i, font in enumerate(fonts):
            out = os.path.join(work, f"{i}.pfa")
            error = convert(args.converter, font, out)
            if error:
                failures.append(error)
            else:
                pairs.append((font, out))
        judge = check_readers if args.readers else lambda pairs: check_fonts(gs, pairs, work)
        differ = judge(pairs)
        # An original that the judge does not find alike with itself is not ours to judge.
        skipped = judge([(f, f) for f in differ]) if differ else {}
        failures += [why for f, why in differ.items() if f not in skipped]
    compared = len(fonts) - len(skipped)
    if compared < (1 if args.font else MINIMUM):
        failures.append(f"only {compared} fonts compared")
    print("".join(f"skipped, compared with itself: {why}\n" for why in skipped.values())
          + "".join(f"FAIL: {f}\n" for f in failures), end="")
    print(f"{compared} compared, {len(skipped)} whose original the judge cannot read:",
          *map(os.path.basename, skipped))
    print(f"{compared - len(failures)} passed, {len(failures)} failed, {len(skipped)} skipped")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
