#!/usr/bin/env bash
# A replacement reviewed before and taken back after, against a direct replacement run and its
# peers, on the replace-src/ corpus (spin_lock -> spin_lock_x: 6,432 occurrences in 953 files),
# each run on a fresh copy, warm cache, median of RUNS runs (default 5) after one warm-up:
#   preview   fernsweep-cli --preview (a diff of every change, nothing written)
#             against sd -p (sd's own preview: every changed file printed whole) given the
#             953 files, and with rg -l finding them as the walk does
#   apply     the apply of everything a preview found, through the undo record
#             (bench_changes, the window's way), against the direct fernsweep-cli run
#   undo      fernsweep-cli --undo of that run, against the direct run
#   direct    fernsweep-cli --replace against rg -l | xargs sd
# Ratios are ours over the other's, all measured in this one run.
#   bench/changes/run.sh [RUNS]
set -euo pipefail
export LC_ALL=C

FS_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
RUNS=${1:-5}
CORPORA=${CORPORA:-$(dirname "$FS_ROOT")/fs-corpora}
MAKE_CORPUS=${MAKE_CORPUS:-$(dirname "$FS_ROOT")/shared/bench/make-corpus.sh}
BUILD=${BUILD:-$FS_ROOT/build-bench}
SCRATCH=${SCRATCH:-/tmp/fs-bench-changes}

for p in ripgrep sd; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        sudo=""
        [ "$(id -u)" -eq 0 ] || sudo=sudo
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
            ripgrep sd
        break
    fi
done
if [ ! -f "$CORPORA/MANIFEST.txt" ]; then
    ROOT="$CORPORA" bash "$MAKE_CORPUS"
fi
if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S "$FS_ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DFERNSWEEP_GUI=OFF >/dev/null
fi
cmake --build "$BUILD" --target fernsweep-cli bench_changes >/dev/null
FS="$BUILD/bin/fernsweep-cli"
BENCH="$BUILD/bin/bench_changes"

mkdir -p "$SCRATCH"
COPY=$SCRATCH/copy
STATE=$SCRATCH/state
export XDG_STATE_HOME=$STATE
OUT=$SCRATCH/out
SEARCH=spin_lock
REPLACE=spin_lock_x
fresh() {
    rm -rf "$COPY" "$STATE"
    cp -a "$CORPORA/replace-src" "$COPY"
    sync
}
# The 953 files holding the text, for sd.
fresh
(cd "$COPY" && rg -l -F -g '*.*' "$SEARCH" . | sort) >"$SCRATCH/list"

median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.3f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }'; }
# wall CMD...: the command's wall seconds, to the millisecond.
wall() {
    local t0=$EPOCHREALTIME
    "$@" >"$OUT" 2>/dev/null || true
    local t1=$EPOCHREALTIME
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
}

direct=() peer=() preview=() sdp=() rgsdp=() apply=() undo=()
for ((i = 0; i <= RUNS; i++)); do
    fresh
    d=$(wall "$FS" -c -s "$SEARCH" --replace="$REPLACE" "$COPY")
    u=$(wall "$FS" --undo)
    fresh
    p=$(wall "$FS" -c -s "$SEARCH" --replace="$REPLACE" --preview "$COPY")
    lines=$(wc -l <"$OUT")
    s=$(cd "$COPY" && wall xargs -d '\n' -a "$SCRATCH/list" sd -p -s "$SEARCH" "$REPLACE")
    q=$(wall bash -c "rg -l -F -g '*.*' '$SEARCH' '$COPY' | xargs -d '\n' sd -p -s '$SEARCH' '$REPLACE'")
    read -r _ a files < <("$BENCH" "$COPY" "$SEARCH" "$REPLACE" "$STATE/fernsweep")
    fresh
    r=$(wall bash -c "rg -l -F -g '*.*' '$SEARCH' '$COPY' | xargs -d '\n' sd -s '$SEARCH' '$REPLACE'")
    if [ "$i" -gt 0 ]; then
        direct+=("$d") undo+=("$u") preview+=("$p") sdp+=("$s") rgsdp+=("$q")
        apply+=("$a") peer+=("$r")
    fi
done
D=$(printf '%s\n' "${direct[@]}" | median)
U=$(printf '%s\n' "${undo[@]}" | median)
P=$(printf '%s\n' "${preview[@]}" | median)
S=$(printf '%s\n' "${sdp[@]}" | median)
Q=$(printf '%s\n' "${rgsdp[@]}" | median)
A=$(printf '%s\n' "${apply[@]}" | median)
R=$(printf '%s\n' "${peer[@]}" | median)
printf '%-10s %-52s %8s %-26s %8s %7s\n' case command "wall s" "against" "wall s" ratio
printf '%-10s %-52s %8s %-26s %8s %7s\n' preview "fernsweep-cli --preview ($lines diff lines)" "$P" \
    "sd -p (the 953 files given)" "$S" "$(ratio "$P" "$S")"
printf '%-10s %-52s %8s %-26s %8s %7s\n' "" "" "" "rg -l | xargs sd -p" "$Q" "$(ratio "$P" "$Q")"
printf '%-10s %-52s %8s %-26s %8s %7s\n' apply "preview's changes applied, recorded ($files files)" \
    "$A" "fernsweep-cli --replace" "$D" "$(ratio "$A" "$D")"
printf '%-10s %-52s %8s %-26s %8s %7s\n' undo "fernsweep-cli --undo" "$U" "fernsweep-cli --replace" \
    "$D" "$(ratio "$U" "$D")"
printf '%-10s %-52s %8s %-26s %8s %7s\n' direct "fernsweep-cli --replace (recorded)" "$D" \
    "rg -l | xargs sd" "$R" "$(ratio "$D" "$R")"
