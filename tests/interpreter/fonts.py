#!/usr/bin/env python3
"""Real fonts, checked by a real interpreter.

Converts every segmented font (.pfb) installed under /usr/share, and the
sample font, and has Ghostscript check that the converted text builds the
same font as the original file: same FontName, FontInfo, FontMatrix,
FontBBox, Encoding, Private entries and CharStrings, byte for byte. Then, for
a handful of fonts from different foundries, renders a line of text in the
original and in the converted font and requires identical pixels.

usage: fonts.py --sample FONT [--font FONT]... CONVERTER...
CONVERTER is the program, or any command that converts the same way, with
its arguments; --font names the fonts to check instead of those installed.
"""
import argparse
import concurrent.futures
import glob
import os
import subprocess
import sys
import tempfile

from interpreter import ghostscript, here

# Fonts for the page test, from different foundries and tools: Latin Modern
# (MetaType1), TeX Gyre, URW Helvetica (texlive-fonts-recommended), the AMS
# LaTeX fonts, a Cyrillic font of t1-cyrillic, and the sample font.
PAGE_FONTS = ["lmr10.pfb", "qhvr.pfb", "uhvr8a.pfb", "lcmss8.pfb", "a010013d.pfb", "sample.pfb"]
LINE = "The quick brown fox jumps over the lazy dog 0123456789 (AB)"


def convert(converter, font, out):
    with open(out, "wb") as f:
        r = subprocess.run(converter + [font], stdout=f, stderr=subprocess.PIPE)
    if r.returncode != 0:
        return f"conversion failed: {font}: status {r.returncode}: {r.stderr.decode().strip()}"
    return None


def check_fonts(gs, pairs, work):
    """Runs fontcheck.ps on the pairs in two batches; returns the failures."""
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
        bad = []
        for original, _ in batches[i]:
            line = said.get(original)
            if line is None:
                bad.append(f"no answer from Ghostscript for {original} (exit {r.returncode}): {r.stdout[-300:]}")
            elif not line.startswith("same "):
                bad.append(line)
        return bad

    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        return [b for batch in pool.map(run, range(2)) for b in batch]


def render(gs, loader, work, name):
    """A page with LINE in the font that loader defines, as grey pixels."""
    out = os.path.join(work, name + ".pgm")
    text = LINE.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")
    subprocess.run(
        [gs, "-q", "-dNOSAFER", "-dWRITESYSTEMDICT", "-dBATCH", "-dNOPAUSE",
         "-sDEVICE=pgmraw", "-r100", "-g1400x80", "-sOutputFile=" + out,
         os.path.join(here, "fontcheck.ps"), "-c",
         f"{loader} lastfont 18 scalefont setfont 10 30 moveto ({text}) show showpage"],
        check=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    with open(out, "rb") as f:
        return f.read()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sample", required=True)
    parser.add_argument("--font", action="append")
    parser.add_argument("converter", nargs="+")
    args = parser.parse_args()
    gs = ghostscript()
    fonts = args.font or sorted(glob.glob("/usr/share/**/*.pfb", recursive=True)) + [args.sample]
    if not args.font and os.environ.get("CI") == "true" and len(fonts) < 300:
        print(f"FAIL: only {len(fonts)} fonts under /usr/share: are the font packages installed?")
        return 1
    failures = []
    with tempfile.TemporaryDirectory() as work:
        pairs = []
        for i, font in enumerate(fonts):
            out = os.path.join(work, f"{i}.pfa")
            error = convert(args.converter, font, out)
            if error:
                failures.append(error)
            else:
                pairs.append((font, out))
        failures += check_fonts(gs, pairs, work)

        page_fonts = [f for f in fonts if os.path.basename(f) in PAGE_FONTS]
        seen = set()
        for font in page_fonts:
            base = os.path.basename(font)
            if base in seen:
                continue
            seen.add(base)
            converted = dict(pairs).get(font)
            if converted is None:
                continue
            original = render(gs, f"({font}) (r) file .loadfont", work, base + "-original")
            ours = render(gs, f"({converted}) run", work, base + "-converted")
            dark = sum(1 for b in original[-1400 * 80:] if b < 128)
            if dark == 0:
                failures.append(f"page in {font}: nothing was drawn")
            elif original != ours:
                failures.append(f"page in {font}: the converted font draws other pixels")
        pages = len(seen)

    for f in failures:
        print("FAIL:", f)
    print(f"{len(fonts)} fonts converted and compared, {pages} pages rendered")
    print(f"{len(fonts) + pages - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
