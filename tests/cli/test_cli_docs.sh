#!/usr/bin/env bash
# The manual page renders and lists every option of --help; the bash completion completes them.
#   test_cli_docs.sh BUILD_DIR
set -u
build=$1
cli="$build/bin/fernsweep-cli"
failed=0
fail() { echo "FAILED: $*"; failed=1; }

# Every long option --help shows.
options=$("$cli" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)

page=$(cd "$build" && MANWIDTH=80 man ./fernsweep-cli.1 2>&1) || fail "man ./fernsweep-cli.1: $page"
for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS"; do
    grep -q "^$section" <<<"$page" || fail "the manual page has no $section section"
done
for o in $options; do
    grep -q -- "$o" <<<"$page" || fail "the manual page does not show $o"
done
grep -q 'troff\|warning' <<<"$page" && fail "groff warned: $page"

# Completion as bash would ask for it.
complete_words() { # complete_words WORD... : what the completion offers for the last word
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _fernsweep_cli
             printf "%s\n" "${COMPREPLY[@]}"' _ "$build/fernsweep-cli.bash" fernsweep-cli "$@"
}
got=$(complete_words --re | sort | tr '\n' ' ')
[ "$got" = "--read-only --regex --replace --report " ] || fail "--re completes to: $got"
got=$(complete_words - | sort)
for o in $options; do
    grep -qx -- "$o" <<<"$got" || fail "- does not offer $o"
done
got=$(complete_words --hidden u | tr '\n' ' ')
[ "$got" = "unset " ] || fail "--hidden u completes to: $got"
got=$(complete_words --color = al | tr '\n' ' ')
[ "$got" = "always " ] || fail "--color=al completes to: $got"

[ $failed -eq 0 ] && echo "passed"
exit $failed
