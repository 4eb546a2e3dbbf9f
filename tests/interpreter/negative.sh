# The interpreter and reader checks can fail: given a conversion that puts a
# line feed in place of a blank inside a string and between "currentfile"
# and "eexec", each reports the damage.
set -u
P=$1 sample=$2 readers_python=$3
here=$(dirname "$0")
wrong="python3 $here/wrong_conversion.py $P"
failures=0

# expect_failure WHAT PATTERN COMMAND...: the command fails and says PATTERN.
expect_failure() {
	local what=$1 pattern=$2 out status
	shift 2
	out=$("$@" 2>&1)
	status=$?
	if [ "$status" -eq 77 ]; then echo "$out"; exit 77; fi
	if [ "$status" -eq 0 ] || ! grep -q -- "$pattern" <<<"$out"; then
		printf 'FAIL: %s\n  status %s, output:\n%s\n' "$what" "$status" "$out"
		failures=$((failures + 1))
	fi
}

expect_failure 'The font check names the entry a wrong conversion changed.' \
	"differ $sample /FontInfo /Notice" \
	python3 "$here/fonts.py" --sample "$sample" --font "$sample" $wrong
expect_failure 'The token check reports a wrong conversion with its seed and a small input.' \
	'a smaller packet that does the same' \
	python3 "$here/tokens.py" --count 50 $wrong
expect_failure 'The reader check names the font whose encrypted part fontTools cannot find.' \
	"cannot read the conversion of $sample" \
	"$readers_python" "$here/fonts.py" --readers --sample "$sample" --font "$sample" $wrong
printf '%d passed, %d failed\n' $((3 - failures)) "$failures"
[ "$failures" -eq 0 ]
