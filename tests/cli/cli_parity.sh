#!/usr/bin/env bash
# fernsweep-cli.exe under Wine against the Linux build on one generated tree: the same reports
# (paths with backslashes, the start folder's own path aside) and, after a replacement with
# backups, the same files byte for byte. Then the attribute filters on real hidden, read-only
# and system files, set with Wine's attrib.
#   cli_parity.sh LINUX_CLI WINDOWS_CLI WINE WORKDIR   (WINEPREFIX set by the caller)
set -euo pipefail
linux=$1 windows=$2 wine=$3 work=$4
rm -rf "$work" && mkdir -p "$work"
work=$(cd "$work" && pwd)
fail=0

# A tree with nested and mixed-case names, blanks, names without a dot, CR LF and lone CR line
# ends, several matches on a line, a NUL byte, an empty file and a larger file.
gen=$work/gen
mkdir -p "$gen/Sub Folder/deeper" "$gen/b" "$gen/B2"
for i in $(seq 1 40); do
    printf 'line %d: needle here\nno match\nNeedle, needle and NEEDLE %d\n' "$i" "$i" \
        > "$gen/b/file$i.txt"
done
printf 'crlf needle\r\nsecond needle line\r\n' > "$gen/Sub Folder/crlf.txt"
printf 'cr only needle\rnext needle\r' > "$gen/Sub Folder/deeper/cr.md"
printf 'needle\0binary needle\n' > "$gen/B2/bin.dat"
printf 'needle without a dot\n' > "$gen/B2/README"
: > "$gen/empty.txt"
for i in $(seq 1 3000); do printf 'row %d needle? %s\n' "$i" "$((i * 7 % 13))"; done \
    > "$gen/B2/big.log"
printf 'Mixed NeEdLe case\n' > "$gen/Upper.TXT"

cp -r "$gen" "$work/lin"
cp -r "$gen" "$work/win"
winroot="Z:$(echo "$work/win" | tr / '\\')"

# Runs both programs with the same options; their outputs, the root replaced by ROOT and the
# Windows separators by '/', must be equal.
compare() {
    local name=$1
    shift
    (cd "$work" && "$linux" "$@" "$work/lin" > "$work/$name.lin" 2>&1) || echo "exit $?" >> "$work/$name.lin"
    (cd "$work" && "$wine" "$windows" "$@" "$winroot" > "$work/$name.win" 2>&1) || echo "exit $?" >> "$work/$name.win"
    sed -i "s|$work/lin|ROOT|g" "$work/$name.lin"
    python3 - "$work/$name.win" "$winroot" <<'PY'
import sys
path, root = sys.argv[1], sys.argv[2].encode()
data = open(path, 'rb').read().replace(root, b'ROOT').replace(b'\\', b'/')
open(path, 'wb').write(data)
PY
    if ! cmp -s "$work/$name.lin" "$work/$name.win"; then
        echo "FAIL: $name differs between the Linux and the Windows build:"
        diff "$work/$name.lin" "$work/$name.win" | head -20
        fail=1
    else
        echo "ok: $name ($(wc -l < "$work/$name.lin") lines)"
    fi
}

compare report -s needle -m '*'
compare regex -e -s 'ne+dle\b' -c -m '*.txt;*.md'
compare vimgrep --vimgrep -s needle -m '*'
compare files -l -s NEEDLE -c
compare tree --tree -s needle
compare replace --replace='pin' -s needle -b -m '*'
if diff -r "$work/lin" "$work/win" > "$work/replaced.diff"; then
    echo "ok: the replaced trees are equal byte for byte ($(find "$work/lin" -type f | wc -l) files)"
else
    echo "FAIL: the replaced trees differ:"
    head -20 "$work/replaced.diff"
    fail=1
fi

# Attribute filters on real attribute bits.
attr=$work/attr
mkdir -p "$attr"
for f in plain hidden readonly system; do printf 'needle\n' > "$attr/$f.txt"; done
winattr="Z:$(echo "$attr" | tr / '\\')"
"$wine" attrib +h "$winattr\\hidden.txt" > /dev/null
"$wine" attrib +r "$winattr\\readonly.txt" > /dev/null
"$wine" attrib +s "$winattr\\system.txt" > /dev/null
check_filter() {
    local want=$1
    shift
    local got
    got=$("$wine" "$windows" -l -s needle "$@" "$winattr" | tr -d '\r' |
          sed 's/.*\\//' | sort | tr '\n' ' ')
    if [ "$got" = "$want" ]; then
        echo "ok: $* -> $got"
    else
        echo "FAIL: $* gave '$got', expected '$want'"
        fail=1
    fi
}
check_filter "hidden.txt plain.txt readonly.txt system.txt "
check_filter "hidden.txt " --hidden=set
check_filter "plain.txt readonly.txt system.txt " --hidden=unset
check_filter "readonly.txt " --read-only=set
check_filter "system.txt " --system=set
check_filter "plain.txt " --hidden=unset --read-only=unset --system=unset
# A read-only file is never rewritten; the others are.
"$wine" "$windows" -s needle --replace=pin "$winattr" > "$work/attr-replace.out" 2>&1 || true
for f in plain hidden system; do
    grep -q pin "$attr/$f.txt" || { echo "FAIL: $f.txt not replaced"; fail=1; }
done
grep -q needle "$attr/readonly.txt" || { echo "FAIL: the read-only file was written"; fail=1; }
[ $fail = 0 ] && echo "ok: the read-only file is left, the hidden and system ones rewritten"
"$wine" attrib -r -h -s "$winattr\\*" > /dev/null || true
exit $fail
