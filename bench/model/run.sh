#!/usr/bin/env bash
# Memory of a 1,000,000-occurrence result tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cmake -S "$root" -B "$root/build-bench" -G Ninja -DFERNSWEEP_GUI=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build-bench" --target bench_tree_memory >/dev/null
"$root/build-bench/bin/bench_tree_memory"
