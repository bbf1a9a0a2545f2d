#!/usr/bin/env bash
# A run with 1,000,000 occurrences through the main window: time from the run's end until the
# tree is on screen, expansion, and repaint times while scrolling through it.
#   bench/gui/run.sh [occurrences]     (BUILD=<dir> to choose the build folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD:-$root/build-bench-gui}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target bench_gui_tree >/dev/null
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bin/bench_gui_tree" "$@"
