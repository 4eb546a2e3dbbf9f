"""What the interpreter tests share: where Ghostscript is, and where they are."""
import os
import shutil
import sys

here = os.path.dirname(os.path.abspath(__file__))

# The status CTest reads as "skipped".
SKIP = 77


def ghostscript():
    """The gs command. Missing, it fails the run in CI and skips it elsewhere."""
    gs = shutil.which("gs")
    if gs is None:
        if os.environ.get("CI") == "true":
            print("FAIL: Ghostscript (gs) is not installed; in CI it must be")
            sys.exit(1)
        print("skipped: Ghostscript (gs) is not installed (Debian package ghostscript)")
        sys.exit(SKIP)
    return gs
