#!/usr/bin/env bash
# Runs the command-line examples of README.md (the first sh block under "## Command line") on a
# generated tree, so they cannot drift from what the program does. `vim` is a stand-in that
# checks it was given a quickfix list.
#   test_readme_examples.sh BUILD_DIR README
set -u
build=$(cd "$1" && pwd)
readme=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAILED: $*"; failed=1; }

examples=$(awk '/^## Command line/ { section = 1; next }
                /^## / { section = 0 }
                section && /^```sh/ { inblock = 1; next }
                inblock && /^```/ { exit }
                inblock' "$readme")
[ "$(grep -c . <<<"$examples")" -ge 5 ] || fail "fewer than five examples: $examples"

mkdir -p "$work/stub" "$work/tree/notes" "$work/tree/src" "$work/tree/docs"
cat >"$work/stub/vim" <<'STUB'
#!/usr/bin/env bash
[ "$1" = -q ] || { echo "vim stand-in: expected -q FILE" >&2; exit 1; }
list=$(cat "$2") # read once: it may be a pipe
grep -vqE '^[^:]+:[0-9]+:[0-9]+:' <<<"$list" && { echo "vim stand-in: not path:line:col:text" >&2; exit 1; }
echo "$list" >>"$VIM_LOG"
STUB
chmod +x "$work/stub/vim"
printf 'teh cat\nTODO: feed teh cat\n' >"$work/tree/notes/todo.txt"
printf '// TODO: colour\nint colour;\n' >"$work/tree/src/main.c"
printf 'color and colour\n' >"$work/tree/docs/guide.md"

export PATH="$work/stub:$build/bin:$PATH" VIM_LOG="$work/vim.log"
while IFS= read -r example; do
    [ -n "$example" ] || continue
    out=$(cd "$work/tree" && bash -c "$example" 2>&1)
    status=$?
    [ $status -eq 0 ] || fail "exit $status: $example"$'\n'"$out"
    [ -n "$out" ] || [[ $example == vim* ]] || fail "no output: $example"
done <<<"$examples"

# What the examples did.
grep -q 'TODO' "$work/vim.log" 2>/dev/null || fail "vim got no quickfix lines"
grep -q '^the cat' "$work/tree/notes/todo.txt" || fail "the replacement was not made"
grep -q '^teh cat' "$work/tree/notes/todo.~txt" 2>/dev/null || fail "no backup was kept"
grep -q $'\r$' "$work/tree/todo.log" 2>/dev/null || fail "no report with CR LF line ends"

[ $failed -eq 0 ] && echo "passed"
exit $failed
