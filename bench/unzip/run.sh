#!/usr/bin/env bash
# Builds a realistic package (~2,000 files, ~200 MiB) and a many-small-files package (20,000
# files), then times UnzipPackage, a bare minizip loop, bsdtar and unzip on each.
# Usage: bench/unzip/run.sh [BUILD_DIR] [WORK_DIR] [RUNS]
# WORK_DIR (default /tmp/unzip-bench) keeps the trees and archives for later runs; the
# extracted outputs are moved into WORK_DIR/*/trash between runs and removed at the end.
set -euo pipefail

build_dir=${1:-build}
work_dir=${2:-/tmp/unzip-bench}
runs=${3:-5}
bench="$build_dir/bench/unzip_bench"

for tool in zip bsdtar unzip; do
    command -v "$tool" >/dev/null || { echo "run.sh needs $tool" >&2; exit 1; }
done
[ -x "$bench" ] || cmake --build "$build_dir" --target unzip_bench

# Deleting many files makes ext4 slow to allocate inodes for a minute or more afterwards, so
# nothing is deleted until every measurement is done.
cleanup() { rm -rf "$work_dir"/*/trash "$work_dir"/*/out "$work_dir"/*/out.upd; }
trap cleanup EXIT

for kind in realistic small; do
    dir="$work_dir/$kind"
    if [ ! -f "$dir/package.upd" ]; then
        rm -rf "$dir"
        mkdir -p "$dir"
        "$bench" tree "$kind" "$dir/tree"
        # Info-ZIP's zip: deflate, Unix modes and "UT" time blocks, as packaging scripts make.
        (cd "$dir/tree" && zip -q -r -X ../package.upd .)
        mkdir -p "$dir/trash"
        mv "$dir/tree" "$dir/trash/tree"
    fi
    "$bench" run "$dir/package.upd" "$dir" "$runs"
done
