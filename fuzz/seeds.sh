# Makes the seed corpus of the fuzz target in the folder $1: the sample font
# $2, and small streams that reach each part of the converter.
set -eu
dir=$1 sample=$2
mkdir -p "$dir"
cp "$sample" "$dir/sample.pfb"

# seed NAME PRINTF-FORMAT: one seed.
seed() { printf "$2" >"$dir/$1"; }
seed empty ''
seed end '\x80\x03'
seed bad-marker '\x00\x03'
seed bad-type '\x80\x07'
seed short-header '\x80\x01\x05\x00'
seed negative-length '\x80\x02\x00\x00\x00\x80'
seed binary '\x80\x02\x22\x00\x00\x00%s\x80\x03' "$(printf '0123456789abcdef0123456789abcdefXY')"
seed binary-short '\x80\x02\xff\xff\xff\x7f0123456789'
seed line-ends '\x80\x01\x0b\x00\x00\x00a\r\nb\rc\nd\r\x80\x03'
seed string '\x80\x01\x1c\x00\x00\x00(a \\( \\101\\n (b) \\\r\n c) x\x80\x03'
seed comment '\x80\x01\x10\x00\x00\x00%% (a) \\ b\r\nc %%\x80\x03'
seed long-string "\\x80\\x01\\x6e\\x00\\x00\\x00($(printf 'a%.0s' $(seq 100)) \\\\050)\\r\\n\\x80\\x03"
seed long-comment "\\x80\\x01\\x6a\\x00\\x00\\x00%%$(printf 'b%.0s' $(seq 100)) c \\r\\n\\x80\\x03"
seed long-token "\\x80\\x01\\x6b\\x00\\x00\\x00$(printf 'c%.0s' $(seq 100))\\r\\n%%d (e\\x80\\x03"
seed unbalanced '\x80\x01\x08\x00\x00\x00) %% \\( a\x80\x03'
