#!/usr/bin/env bash
# Builds a realistic package (~2,000 files, ~200 MiB) and a many-small-files package (20,000
# files), then times UnzipPackage, a bare minizip loop (256 KiB buffer), bsdtar and unzip on
# each.
# Usage: bench/unzip/run.sh [BUILD_DIR] [WORK_DIR] [RUNS]
# WORK_DIR (default /tmp/unzip-bench) keeps the trees and archives for later runs. Nothing is
# deleted: deleting many files makes ext4 slow to allocate inodes for minutes afterwards (this
# script's own later runs included), so extracted outputs are moved into WORK_DIR/*/trash
# between runs and, at the end, truncated to zero bytes, which gives their space back without
# unlinking them. Remove WORK_DIR yourself when the machine is idle.
set -euo pipefail

build_dir=${1:-build}
work_dir=${2:-/tmp/unzip-bench}
runs=${3:-5}
bench="$build_dir/bench/unzip_bench"

for tool in zip zipinfo bsdtar unzip; do
    command -v "$tool" >/dev/null || { echo "run.sh needs $tool" >&2; exit 1; }
done
[ -x "$bench" ] || cmake --build "$build_dir" --target unzip_bench

truncate_outputs() {
    echo "truncating the moved-aside outputs in $work_dir/*/trash (not deleting them)"
    find "$work_dir"/*/trash -type f -exec truncate -s 0 {} + 2>/dev/null || true
}
trap truncate_outputs EXIT

for kind in realistic small; do
    dir="$work_dir/$kind"
    mkdir -p "$dir/trash"
    # Packages from earlier versions of this script were made with zip -X, without time blocks.
    if [ -f "$dir/package.upd" ] && ! zipinfo -v "$dir/package.upd" | grep -q 'ID 0x5455'; then
        mv "$dir/package.upd" "$dir/trash/package-without-ut-$$.upd"
    fi
    if [ ! -f "$dir/package.upd" ]; then
        [ -d "$dir/tree" ] && mv "$dir/tree" "$dir/trash/tree-$$"
        "$bench" tree "$kind" "$dir/tree"
        # Info-ZIP's zip: deflate, Unix modes and "UT" time blocks (its default; -X would drop
        # them), as packaging scripts make.
        (cd "$dir/tree" && zip -q -r ../package.upd .)
        mv "$dir/tree" "$dir/trash/tree-$$"
    fi
    "$bench" run "$dir/package.upd" "$dir" "$runs"
done
