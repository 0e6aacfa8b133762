#!/usr/bin/env bash
# Builds a realistic package tree (~2,000 files, ~200 MiB), the same files spread over ~1,000
# directories three levels deep, and a many-small-files tree (20,000 files), then times the install walk beside cp -a, cp -a plus one syncfs and the per-file
# synced walk, installing each tree over a fresh copy of itself.
# Usage: bench/install/run.sh [BUILD_DIR] [WORK_DIR] [ROUNDS]
# WORK_DIR (default /tmp/install-bench) keeps the trees for later runs. Outputs are moved into
# WORK_DIR/*/trash between runs and, at the end, truncated to zero bytes rather than deleted:
# deleting tens of thousands of files slows file creation on ext4 for minutes afterwards, which
# would slow the next measurement. Remove WORK_DIR yourself when the machine is idle (the deep
# chains need a removal that goes level by level: their paths are longer than PATH_MAX).
set -euo pipefail

build_dir=${1:-build}
work_dir=${2:-/tmp/install-bench}
rounds=${3:-5}
bench="$build_dir/bench/install_bench"

[ -x "$bench" ] || cmake --build "$build_dir" --target install_bench

truncate_outputs() { find "$work_dir"/*/trash -type f -exec truncate -s 0 {} + 2>/dev/null || true; }
trap truncate_outputs EXIT

for kind in realistic deep small; do
    dir="$work_dir/$kind"
    if [ ! -d "$dir/package" ]; then
        mkdir -p "$dir"
        "$bench" tree "$kind" "$dir/package.new"
        mv "$dir/package.new" "$dir/package"
    fi
    "$bench" run "$dir" "$rounds"
done

# Memory of walking one directory nested thousands deep: the descriptor walk holds one open
# directory per level, so it needs a descriptor limit above the depth.
ulimit -n "$(ulimit -Hn)"
for levels in 2000 8000; do
    "$bench" deep "$work_dir/deep-$levels" "$levels"
done
