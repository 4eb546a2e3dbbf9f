# The install rules: the program and its manual land where a user looks for
# them, and the installed program converts the sample font as the built one.
set -u
build=$1 sample=$2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
failures=0 cases=0

fail() {
	printf 'FAIL: %s\n' "$1"
	failures=$((failures + 1))
}

cases=$((cases + 1))
cmake --install "$build" --prefix "$stage" >"$stage/log" 2>&1 ||
	fail "cmake --install failed: $(cat "$stage/log")"
# The manual page is gzipped where gzip was found. The Debian files are the
# package's alone.
for f in bin/segtoasc share/man/man1/segtoasc.1 share/doc/segtoasc/{LICENSE,README.md,NEWS.md}; do
	cases=$((cases + 1))
	[ -f "$stage/$f" ] || [ -f "$stage/$f.gz" ] || fail "$f is not installed"
done
for f in copyright changelog.gz; do
	cases=$((cases + 1))
	[ ! -e "$stage/share/doc/segtoasc/$f" ] || fail "$f is installed"
done
cases=$((cases + 1))
if "$stage/bin/segtoasc" "$sample" >"$stage/out" 2>&1 &&
	"$build/segtoasc" "$sample" | cmp -s - "$stage/out"; then :; else
	fail 'the installed program does not convert the sample font as the built one'
fi
printf '%d passed, %d failed\n' $((cases - failures)) "$failures"
[ "$failures" -eq 0 ]
