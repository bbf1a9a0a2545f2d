#!/usr/bin/env bash
# Builds the in-file search benchmark in a release build and runs it.
#   bench/search/run.sh [MEGABYTES]     default 200
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dir=${FS_BENCH_BUILD:-$root/build-bench}
if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DFERNSWEEP_GUI=OFF
fi
cmake --build "$dir" --target search_bench --parallel 2
"$dir/bin/search_bench" "${1:-200}"
