#!/usr/bin/env bash
# Copying and deleting 10,000 found files against cp --parents and rm over the same list, and
# writing a report of 1,000,000 occurrences. Warm cache, `sync` and a pause before every timed step; each
# figure is the median of RUNS runs (default 3): wall-clock seconds, and CPU seconds (user +
# system) which shared machines disturb less.
#   bench/operations/run.sh [FILES] [OCCURRENCES]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
files=${1:-10000}
occurrences=${2:-1000000}
runs=${RUNS:-3}
build="$root/build-bench"
cmake -S "$root" -B "$build" -G Ninja -DFERNSWEEP_GUI=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target bench_operations >/dev/null
bench="$build/bin/bench_operations"

work=$(mktemp -d "${TMPDIR:-/tmp}/fs-bench-ops-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$bench" gen "$work" "$files"
list="$work/list.txt"
find "$work/src" -type f -exec cat {} + >/dev/null # warm the cache

# timed NAME CMD...: runs CMD, appends "wall cpu" to the array NAME.
timed() {
    local -n into=$1
    shift
    # Let the write-back of the previous step finish, so no step pays for the one before.
    sync
    sleep "${SETTLE:-3}"
    local TIMEFORMAT='%R %U %S' t
    t=$( { time "$@" >/dev/null; } 2>&1 | tail -1)
    into+=("$(awk '{ printf "%.3f %.3f", $1, $2 + $3 }' <<<"$t")")
}
peer_copy() { (cd "$work/src" && xargs -d '\n' -a "$list" cp --preserve=mode,timestamps --parents -t "$1"); }
peer_copy_sync() { peer_copy "$1" && sync; }
peer_rm() { (cd "$1" && xargs -d '\n' -a "$list" rm); }

ours_copy=(); cp_=(); cp_sync=(); ours_del=(); rm_=(); report=()
for ((r = 0; r < runs; r++)); do
    rm -rf "$work/dst" "$work/peer" "$work/peer2"
    mkdir -p "$work/peer" "$work/peer2"
    timed ours_copy "$bench" copy "$work" "$work/dst"
    timed cp_ peer_copy "$work/peer"
    timed cp_sync peer_copy_sync "$work/peer2"
    timed ours_del "$bench" delete "$work" "$work/dst"
    timed rm_ peer_rm "$work/peer"
    sync
    read -r secs size < <("$bench" report "$occurrences" "$work/report.log")
    report+=("$secs 0")
    rm -f "$work/report.log"
done

# median FIELD VALUES...: the median of the FIELD-th number of each entry.
median() {
    local f=$1
    shift
    printf '%s\n' "$@" | awk -v f="$f" '{ print $f }' | sort -g |
        awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
row() { # label ours-array-name [peer-array-name]
    local -n a=$2
    local w c
    w=$(median 1 "${a[@]}")
    c=$(median 2 "${a[@]}")
    if [ $# -eq 3 ]; then
        local -n b=$3
        printf '%-50s %8s %8s   x%-6s x%s\n' "$1" "$(median 1 "${b[@]}")" "$(median 2 "${b[@]}")" \
            "$(ratio "$(median 1 "${ours[@]}")" "$(median 1 "${b[@]}")")" \
            "$(ratio "$(median 2 "${ours[@]}")" "$(median 2 "${b[@]}")")"
    else
        printf '%-50s %8s %8s\n' "$1" "$w" "$c"
    fi
}
printf '%-50s %8s %8s   %s\n' "$files files, median of $runs runs" "wall s" "cpu s" "Fernsweep / peer (wall, cpu)"
ours=("${ours_copy[@]}"); row "copy, Fernsweep (temporary file, then renamed)" ours_copy
row "copy, cp --parents --preserve=mode,timestamps" ours cp_
row "copy, the same cp, then sync" ours cp_sync
ours=("${ours_del[@]}"); row "delete, Fernsweep" ours_del
row "delete, rm" ours rm_
printf '%-50s %8s\n' "report, $occurrences occurrences ($((size / 1048576)) MiB)" "$(median 1 "${report[@]}")"
