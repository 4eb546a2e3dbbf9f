"""What the interpreter tests share: where Ghostscript is, and where they are."""
import os
import shutil
import sys

here = os.path.dirname(os.path.abspath(__file__))

# The status CTest reads as "skipped", and whether a missing tool fails the
# test instead, as the build was told.
SKIP = 77
REQUIRED = os.environ.get("SEGTOASC_REQUIRE_TEST_TOOLS") == "1"


def ghostscript():
    """The gs command. Missing, it fails the run where required, else skips it."""
    gs = shutil.which("gs")
    if gs is None:
        if REQUIRED:
            print("FAIL: Ghostscript (gs) is not installed, and the tests require it")
            sys.exit(1)
        print("skipped: Ghostscript (gs) is not installed (Debian package ghostscript)")
        sys.exit(SKIP)
    return gs
