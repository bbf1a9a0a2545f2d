#!/usr/bin/env bash
# Times fernsweep-cli against its peers (ripgrep, sd, GNU grep, sed) on large real and generated
# trees, warm cache, one command after another on an otherwise idle machine.
#
#   bench/peers/run.sh [RUNS]        RUNS timed runs per command after one warm-up (default 5)
#
# Environment:
#   CORPORA       where the corpora live or are built (default fs-corpora beside the repository:
#                 inside a git work tree ripgrep would honour the repository's .gitignore)
#   MAKE_CORPUS   the script that builds them (default shared/bench/make-corpus.sh beside the
#                 repository); it installs the Linux source package and takes a minute or two
#   BUILD         build folder for an optimised fernsweep-cli (default <repo>/build-bench)
#   SCRATCH       where the replacement copies and outputs go (default /tmp/fs-bench-peers)
#
# Every command writes its output to a regular file: GNU grep notices an output of /dev/null
# and stops at each file's first match, which would time something else.
set -euo pipefail
export LC_ALL=C

FS_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
RUNS=${1:-5}
CORPORA=${CORPORA:-$(dirname "$FS_ROOT")/fs-corpora}
MAKE_CORPUS=${MAKE_CORPUS:-$(dirname "$FS_ROOT")/shared/bench/make-corpus.sh}
BUILD=${BUILD:-$FS_ROOT/build-bench}
SCRATCH=${SCRATCH:-/tmp/fs-bench-peers}

# ------------------------------------------------------------------ tools and corpora
bench_packages=(ripgrep sd grep sed findutils coreutils time)
missing=()
for p in "${bench_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ ! -f "$CORPORA/MANIFEST.txt" ]; then
    [ -f "$MAKE_CORPUS" ] || { echo "No corpus script at $MAKE_CORPUS (set MAKE_CORPUS)" >&2; exit 2; }
    ROOT="$CORPORA" bash "$MAKE_CORPUS"
fi

if [ ! -f "$BUILD/build.ninja" ]; then
    # -O2: GCC 12 at -O3 raises false warnings that -Werror turns into errors.
    cmake -S "$FS_ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DFERNSWEEP_GUI=OFF >/dev/null
fi
cmake --build "$BUILD" --target fernsweep-cli >/dev/null
FS="$BUILD/bin/fernsweep-cli"

LINUX=$CORPORA/linux
TINY=$CORPORA/tiny
mkdir -p "$SCRATCH"
OUT=$SCRATCH/out
COPY=$SCRATCH/copy

# ------------------------------------------------------------------ timing
# Sets MEDIAN_WALL and MEDIAN_CPU (seconds; CPU is user + system) over RUNS runs of "$@", after
# one untimed warm-up run. PREPARE, when set, is a command run (untimed) before every run. The
# CPU time is given too because the machine may be shared: wall time then also measures the
# neighbours.
PREPARE=""
LAST_LINES=0
MEDIAN_WALL=0
MEDIAN_CPU=0
MEDIAN_RSS=0
median() {
    sort -n | awk '{ v[NR] = $1 } END { printf "%.3f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
measure() {
    local walls=() cpus=() rss=() i
    for ((i = 0; i <= RUNS; i++)); do
        if [ -n "$PREPARE" ]; then eval "$PREPARE"; fi
        /usr/bin/time -f '%e %U %S %M' -o "$SCRATCH/time" "$@" >"$OUT" 2>/dev/null || true
        if [ "$i" -gt 0 ]; then
            read -r w u s m < <(tail -1 "$SCRATCH/time")
            walls+=("$w")
            rss+=("$((m / 1024))")
            cpus+=("$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.3f", u + s }')")
        fi
    done
    LAST_LINES=$(wc -l <"$OUT")
    MEDIAN_WALL=$(printf '%s\n' "${walls[@]}" | median)
    MEDIAN_CPU=$(printf '%s\n' "${cpus[@]}" | median)
    MEDIAN_RSS=$(printf '%s\n' "${rss[@]}" | median | cut -d. -f1)
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }'; }

printf '%-20s %-46s %8s %8s %7s %9s %7s %7s\n' "case" "command" "wall s" "cpu s" "rss MiB" \
    "out lines" "wall x" "cpu x"
FS_WALL=0
FS_CPU=0
# row CASE LABEL IS_FS command...: the ratios are fernsweep-cli's time over the peer's.
row() {
    local case=$1 label=$2 is_fs=$3
    shift 3
    measure "$@"
    local rw="" rc=""
    if [ "$is_fs" = 1 ]; then
        FS_WALL=$MEDIAN_WALL
        FS_CPU=$MEDIAN_CPU
    else
        rw=$(ratio "$FS_WALL" "$MEDIAN_WALL")
        rc=$(ratio "$FS_CPU" "$MEDIAN_CPU")
    fi
    printf '%-20s %-46s %8s %8s %7s %9s %7s %7s\n' "$case" "$label" "$MEDIAN_WALL" "$MEDIAN_CPU" \
        "$MEDIAN_RSS" "$LAST_LINES" "$rw" "$rc"
}

LIT=PM_RESUME
RE='\w+_lock\('

BIG=$CORPORA/big
# Each case twice: fernsweep-cli with its default thread count against rg with its own, then
# both on one thread. fernsweep-cli's mask "*" takes every file, as the peers do.
row "literal" "fernsweep-cli -c -s $LIT" 1 "$FS" -m '*' -c -s "$LIT" "$LINUX"
row "" "rg --vimgrep -F $LIT" 0 rg --vimgrep -F "$LIT" "$LINUX"
row "literal, 1 thread" "fernsweep-cli --threads=1 -c -s $LIT" 1 \
    "$FS" --threads=1 -m '*' -c -s "$LIT" "$LINUX"
row "" "rg -j1 --vimgrep -F $LIT" 0 rg -j1 --vimgrep -F "$LIT" "$LINUX"
row "" "grep -rnF $LIT" 0 grep -rnF "$LIT" "$LINUX"

# Case ignored (fernsweep-cli's default).
row "literal, no case" "fernsweep-cli -s $LIT" 1 "$FS" -m '*' -s "$LIT" "$LINUX"
row "" "rg --vimgrep -i -F $LIT" 0 rg --vimgrep -i -F "$LIT" "$LINUX"
row "no case, 1 thread" "fernsweep-cli --threads=1 -s $LIT" 1 \
    "$FS" --threads=1 -m '*' -s "$LIT" "$LINUX"
row "" "rg -j1 --vimgrep -i -F $LIT" 0 rg -j1 --vimgrep -i -F "$LIT" "$LINUX"

# Regular expression with a literal, case kept.
row "regex" "fernsweep-cli -e -c -s '$RE'" 1 "$FS" -m '*' -e -c -s "$RE" "$LINUX"
row "" "rg --vimgrep '$RE'" 0 rg --vimgrep "$RE" "$LINUX"
row "regex, 1 thread" "fernsweep-cli --threads=1 -e -c -s '$RE'" 1 \
    "$FS" --threads=1 -m '*' -e -c -s "$RE" "$LINUX"
row "" "rg -j1 --vimgrep '$RE'" 0 rg -j1 --vimgrep "$RE" "$LINUX"

# One 500 MB file.
row "literal, big file" "fernsweep-cli -c -s $LIT" 1 "$FS" -m '*' -c -s "$LIT" "$BIG"
row "" "rg --vimgrep -F $LIT" 0 rg --vimgrep -F "$LIT" "$BIG"
row "big, 1 thread" "fernsweep-cli --threads=1 -c -s $LIT" 1 \
    "$FS" --threads=1 -m '*' -c -s "$LIT" "$BIG"
row "" "rg -j1 --vimgrep -F $LIT" 0 rg -j1 --vimgrep -F "$LIT" "$BIG"

# Replacement in the big file, on a fresh copy before every run: peak memory stays that of a
# window, not of the file.
BIGCOPY=$SCRATCH/bigcopy
PREPARE="rm -rf '$BIGCOPY' && mkdir -p '$BIGCOPY' && cp '$BIG/big.txt' '$BIGCOPY/'"
row "replace, big file" "fernsweep-cli -c -s $LIT --replace=PM_RESUME_X" 1 \
    "$FS" -m '*' -c -s "$LIT" --replace=PM_RESUME_X "$BIGCOPY"
row "" "sd -s $LIT PM_RESUME_X" 0 sd -s "$LIT" PM_RESUME_X "$BIGCOPY/big.txt"
PREPARE=""
rm -rf "$BIGCOPY"

# One match in a 1 GB file that is one line: the line is held once, as its occurrence's text,
# and printed a piece at a time.
LONG=$SCRATCH/longline
rm -rf "$LONG"
mkdir -p "$LONG"
python3 -c '
import sys
half = b"a" * 500_000_000
with open(sys.argv[1], "wb") as f:
    f.write(half); f.write(b"PM_RESUME"); f.write(half)
' "$LONG/one-line.txt"
row "1 GB line, search" "fernsweep-cli -c -s $LIT" 1 "$FS" -m '*' -c -s "$LIT" "$LONG"
row "" "rg --vimgrep -F $LIT" 0 rg --vimgrep -F "$LIT" "$LONG"
# Every run finds the text again: each replacement leaves it inside the longer name.
row "1 GB line, replace" "fernsweep-cli -c -s $LIT --replace=PM_RESUME_X" 1 \
    "$FS" -m '*' -c -s "$LIT" --replace=PM_RESUME_X "$LONG"
row "" "sd -s $LIT PM_RESUME_X" 0 sd -s "$LIT" PM_RESUME_X "$LONG/one-line.txt"
rm -rf "$LONG"

# Whole-tree replacement on a fresh copy before every run; the peers get the same files
# (every name with a dot, as the mask "*.*" selects them).
PREPARE="rm -rf '$COPY' && cp -a '$CORPORA/replace-src' '$COPY' && sync"
row "replace" "fernsweep-cli -c -s spin_lock --replace=spin_lock_x" 1 \
    "$FS" -c -s spin_lock --replace=spin_lock_x "$COPY"
row "" "rg -l | xargs sd spin_lock spin_lock_x" 0 \
    bash -c "rg -l -F -g '*.*' spin_lock '$COPY' | xargs -d '\n' sd -s spin_lock spin_lock_x"
row "" "find | xargs sed -i s/spin_lock/spin_lock_x/g" 0 \
    bash -c "find '$COPY' -type f -name '*.*' -print0 | xargs -0 sed -i 's/spin_lock/spin_lock_x/g'"
row "replace, 1 thread" "fernsweep-cli --threads=1 -c -s spin_lock --replace=.." 1 \
    "$FS" --threads=1 -c -s spin_lock --replace=spin_lock_x "$COPY"
row "" "rg -j1 -l | xargs sd spin_lock spin_lock_x" 0 \
    bash -c "rg -j1 -l -F -g '*.*' spin_lock '$COPY' | xargs -d '\n' sd -s spin_lock spin_lock_x"
PREPARE=""
rm -rf "$COPY"

# The walk alone over 100,000 tiny files, then a literal search in them.
row "walk, tiny files" "fernsweep-cli (no search)" 1 "$FS" "$TINY"
row "" "rg --files" 0 rg --files "$TINY"
row "" "find -type f -name '*.*'" 0 find "$TINY" -type f -name '*.*'
row "literal, tiny files" "fernsweep-cli -c -s $LIT" 1 "$FS" -c -s "$LIT" "$TINY"
row "" "rg --vimgrep -F $LIT" 0 rg --vimgrep -F "$LIT" "$TINY"
row "tiny, 1 thread" "fernsweep-cli --threads=1 -c -s $LIT" 1 \
    "$FS" --threads=1 -c -s "$LIT" "$TINY"
row "" "rg -j1 --vimgrep -F $LIT" 0 rg -j1 --vimgrep -F "$LIT" "$TINY"

# Depth: one file at the bottom of a chain of folders; the time should grow with the depth.
# The chain is built through folder descriptors: a path that long is beyond what the shell's
# own cd and mkdir take.
DEEP=$SCRATCH/deep
for depth in 1000 3000 10000; do
    rm -rf "$DEEP"
    mkdir -p "$DEEP"
    python3 - "$DEEP" "$depth" "$LIT" <<'PY'
import os, sys
fd = os.open(sys.argv[1], os.O_RDONLY | os.O_DIRECTORY)
for _ in range(int(sys.argv[2])):
    os.mkdir("d", dir_fd=fd)
    sub = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
    os.close(fd)
    fd = sub
out = os.open("bottom.txt", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd)
os.write(out, (sys.argv[3] + "\n").encode())
os.close(out)
PY
    row "depth $depth" "fernsweep-cli -c -s $LIT" 1 "$FS" -c -s "$LIT" "$DEEP"
done
rm -rf "$DEEP"

rm -f "$OUT"
echo "medians of $RUNS runs after one warm-up; x = fernsweep-cli's time / the peer's (below 1.00: faster)"
