#!/usr/bin/env bash
# What the file filters cost and save: fernsweep-cli over the Linux tree without filters (this
# build and the main branch's), with filters that pass everything, and leaving out drivers/.
#
#   bench/peers/filters.sh [RUNS]    RUNS timed runs per command after one warm-up (default 5)
#
# Environment: CORPORA, BUILD and SCRATCH as for run.sh; BASE_REF the revision to compare with
# (default main), built from `git archive` into $SCRATCH/base.
set -euo pipefail
export LC_ALL=C

FS_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
RUNS=${1:-5}
CORPORA=${CORPORA:-$(dirname "$FS_ROOT")/fs-corpora}
BUILD=${BUILD:-$FS_ROOT/build-bench}
SCRATCH=${SCRATCH:-/tmp/fs-bench-filters}
BASE_REF=${BASE_REF:-main}
LINUX=$CORPORA/linux
[ -d "$LINUX" ] || { echo "No Linux corpus at $LINUX (run run.sh once, or set CORPORA)" >&2; exit 2; }
mkdir -p "$SCRATCH"
OUT=$SCRATCH/out

build() { # build SOURCE BUILD_DIR
    if [ ! -f "$2/build.ninja" ]; then
        cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DFERNSWEEP_GUI=OFF >/dev/null
    fi
    cmake --build "$2" --target fernsweep-cli >/dev/null
}
build "$FS_ROOT" "$BUILD"
FS="$BUILD/bin/fernsweep-cli"
rm -rf "$SCRATCH/base-src"
mkdir -p "$SCRATCH/base-src"
git -C "$FS_ROOT" archive "$BASE_REF" | tar -x -C "$SCRATCH/base-src"
build "$SCRATCH/base-src" "$SCRATCH/base-build"
BASE="$SCRATCH/base-build/bin/fernsweep-cli"

median() {
    sort -n | awk '{ v[NR] = $1 } END { printf "%.3f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
# Sets MEDIAN_WALL and MEDIAN_CPU over RUNS runs of "$@" after one warm-up. The commands take
# turns run by run, so a neighbour's load falls on all of them alike.
declare -A WALLS CPUS
CMDS=()
add() { CMDS+=("$1"); }
run_all() {
    local i c
    for ((i = 0; i <= RUNS; i++)); do
        for c in "${CMDS[@]}"; do
            eval "/usr/bin/time -f '%e %U %S' -o '$SCRATCH/time' $c" >"$OUT" 2>/dev/null || true
            if [ "$i" -gt 0 ]; then
                read -r w u s < <(tail -1 "$SCRATCH/time")
                WALLS[$c]+="$w "
                CPUS[$c]+="$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.3f", u + s }') "
            fi
        done
    done
}
med() { tr ' ' '\n' <<<"$1" | grep -v '^$' | median; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }'; }

LIT=PM_RESUME
NONE="'$FS' -m '*' -c -s $LIT '$LINUX'"
BEFORE="'$BASE' -m '*' -c -s $LIT '$LINUX'"
PASSALL="'$FS' -m '*' -c -s $LIT --newer=1970-01-02 --min-size=0 --max-size=1000G --exclude-dir=no-such-folder --skip-binary '$LINUX'"
EXCLUDE="'$FS' -m '*' -c -s $LIT --exclude-dir=drivers '$LINUX'"
add "$NONE"
add "$BEFORE"
add "$PASSALL"
add "$EXCLUDE"
run_all

# What leaving out drivers/ should save: its share of the tree's bytes and files.
total_bytes=$(du -sb "$LINUX" | cut -f1)
drivers_bytes=$(du -sb "$LINUX/drivers" | cut -f1)
total_files=$(find "$LINUX" -type f | wc -l)
drivers_files=$(find "$LINUX/drivers" -type f | wc -l)

base_wall=$(med "${WALLS[$NONE]}")
base_cpu=$(med "${CPUS[$NONE]}")
printf '%-44s %8s %8s %8s %8s\n' "run over linux/ (literal $LIT)" "wall s" "cpu s" "wall x" "cpu x"
line() {
    local w c
    w=$(med "${WALLS[$2]}")
    c=$(med "${CPUS[$2]}")
    printf '%-44s %8s %8s %8s %8s\n' "$1" "$w" "$c" "$(ratio "$w" "$base_wall")" "$(ratio "$c" "$base_cpu")"
}
line "no filters (this build)" "$NONE"
line "no filters ($BASE_REF before the filters)" "$BEFORE"
line "filters on, passing every file" "$PASSALL"
line "--exclude-dir=drivers" "$EXCLUDE"
echo "drivers/ holds $(ratio "$drivers_bytes" "$total_bytes") of the bytes and $(ratio "$drivers_files" "$total_files") of the files;"
echo "leaving it out should cost about $(ratio "$((total_bytes - drivers_bytes))" "$total_bytes") of the run (by bytes)."
echo "medians of $RUNS runs after one warm-up, the commands taking turns; x = time / the no-filter run's"
