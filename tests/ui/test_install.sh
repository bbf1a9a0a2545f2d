#!/usr/bin/env bash
# `cmake --install` of a built tree into a staging folder (DESTDIR), with a prefix holding a
# blank: the programs and help/ in one folder, bin/ links that resolve into it, a valid launcher
# that names the link, and the icons.
#   test_install.sh BUILD_DIR STAGING_DIR
set -u
build=$1
stage=$2
prefix="/opt/fern sweep"
passed=0
failed=0
check() { # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $what"
    fi
}

rm -rf "$stage"
if ! DESTDIR="$stage" cmake --install "$build" --prefix "$prefix" >"$stage.log" 2>&1; then
    cat "$stage.log"
    echo "0 passed, 1 failed"
    exit 1
fi
root="$stage$prefix"
programs="$root/libexec/fernsweep"

check "the program is installed" test -x "$programs/fernsweep"
check "the user guide lies beside it" test -f "$programs/help/index.html"
if [ -x "$build/bin/fernsweep-cli" ]; then
    check "the command-line program is beside it" test -x "$programs/fernsweep-cli"
    check "bin/fernsweep-cli runs" "$root/bin/fernsweep-cli" --version
    check "the manual page is installed" test -s "$root/share/man/man1/fernsweep-cli.1"
    check "the manual page renders" sh -c "MANWIDTH=80 man '$root/share/man/man1/fernsweep-cli.1' | grep -q -- --replace"
    completion="$root/share/bash-completion/completions/fernsweep-cli"
    check "the bash completion is installed" test -s "$completion"
    check "the bash completion loads" bash -c "source '$completion' && complete -p fernsweep-cli"
fi
check "bin/fernsweep is a link" test -L "$root/bin/fernsweep"
check "the link is relative" test "$(readlink "$root/bin/fernsweep")" = ../libexec/fernsweep/fernsweep
# What /proc/self/exe will name, and so where the program looks for help/.
check "the link leads to the program" \
    test "$(readlink -f "$root/bin/fernsweep")" = "$(readlink -f "$programs/fernsweep")"

entry="$root/share/applications/Fernsweep.desktop"
check "the launcher is installed" test -f "$entry"
check "the launcher is valid" desktop-file-validate "$entry"
check "the launcher starts the linked program" \
    grep -qxF "Exec=\"$prefix/bin/fernsweep\" %f" "$entry"
check "the launcher names the icon" grep -qx "Icon=fernsweep" "$entry"

icons="$root/share/icons/hicolor"
check "the scalable icon is installed" test -s "$icons/scalable/apps/fernsweep.svg"
png_size() { # the width and height in a PNG's IHDR chunk
    od -An -tu1 -j16 -N8 "$1" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }'
}
for size in 16 48 256; do
    check "the ${size}x${size} icon is a PNG of that size" \
        test "$(png_size "$icons/${size}x${size}/apps/fernsweep.png")" = "${size}x${size}"
done

rm -rf "$stage" "$stage.log"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
