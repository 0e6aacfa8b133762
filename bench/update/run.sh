#!/usr/bin/env bash
# The update path side by side, on loopback:
#  1. one 200 MiB package fetched by LiveUpdate.dll (manifest, download, SHA-256 check) beside
#     `curl -o` of the same file from the same server (and beside curl followed by sha256sum);
#  2. a whole 200 MiB patch run by the launcher (headless: version check, download, check,
#     unpack, install, version.ini, the download directory deleted) beside the sum of its parts
#     measured alone (the module's download, unzip, install, rm -rf of the download directory).
#     The whole patch is timed twice: from the launcher's start, and from its first request of
#     the manifest (the flow itself, without the process start, skin and window before it).
# Each round runs curl and the module side by side, in turns which goes first, so both meet the
# same load. Prints each round, the medians, and the spread of the rounds' download ratios.
# Usage: bench/update/run.sh [BUILD_DIR] [WORK_DIR] [ROUNDS]
# With DOWNLOAD_ONLY=1 only part 1 runs (quicker, for the module's download figure alone).
set -euo pipefail

build_dir=$(realpath "${1:-build}")
work_dir=${2:-/tmp/update-bench}
rounds=${3:-5}
scripts=$(realpath "$(dirname "$0")/../../scripts")
bench="$build_dir/bench/update_bench"
server_bin="$build_dir/tests/server/launcher-test-server"
[ -x "$server_bin" ] || server_bin=$(find "$build_dir" -name launcher-test-server -type f | head -1)
command -v curl >/dev/null || { echo "run.sh needs curl" >&2; exit 1; }
[ -x "$bench" ] || cmake --build "$build_dir" --target update_bench

mkdir -p "$work_dir"
work_dir=$(realpath "$work_dir")
server_pid=""
launcher_pid=""
stamper_pid=""
cleanup() {
    [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null || true
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    [ -n "$stamper_pid" ] && kill "$stamper_pid" 2>/dev/null || true
    rm -rf "$work_dir/round" "$work_dir/requests.fifo"
}
trap cleanup EXIT

# 50 files of 4 MiB that do not compress, changed in a directory the old game already has.
if [ ! -f "$work_dir/srv/manifest.xml" ]; then
    rm -rf "$work_dir/old" "$work_dir/new" "$work_dir/srv" "$work_dir/key"
    mkdir -p "$work_dir/old/data" "$work_dir/new/data"
    printf '[Version]\nVersion=1.0\nLVersion=1\n' >"$work_dir/old/version.ini"
    printf '[Version]\nVersion=1.1\nLVersion=1\n' >"$work_dir/new/version.ini"
    for i in $(seq 10 59); do
        echo "old $i" >"$work_dir/old/data/f$i.bin"
        head -c $((4 << 20)) /dev/urandom >"$work_dir/new/data/f$i.bin"
    done
    "$scripts/make-update-key" "$work_dir/key" >/dev/null
    "$scripts/publish-update" --key "$work_dir/key/update.key" --installed "$work_dir/old" \
        --new "$work_dir/new" --version 1.1 --launcher-version 1 --out "$work_dir/srv"
fi
package=$(basename "$(ls "$work_dir"/srv/*.upd | head -1)")
echo "package: $package, $(stat -c %s "$work_dir/srv/$package") bytes"

# The server's request log, each line stamped with the time it arrived.
rm -f "$work_dir/port" "$work_dir/requests.fifo"
mkfifo "$work_dir/requests.fifo"
while IFS= read -r line; do echo "$EPOCHREALTIME $line"; done \
    <"$work_dir/requests.fifo" >"$work_dir/requests.log" &
stamper_pid=$!
"$server_bin" --root "$work_dir/srv" --port-file "$work_dir/port" \
    --log-file "$work_dir/requests.fifo" >/dev/null &
server_pid=$!
for _ in $(seq 100); do [ -s "$work_dir/port" ] && break; sleep 0.05; done
port=$(cat "$work_dir/port")
url="http://127.0.0.1:$port"
for _ in $(seq 100); do curl -sf -o /dev/null "$url/manifest.xml" && break; sleep 0.05; done

# A fresh copy of the installed game with the launcher's program files.
fresh_game() {
    rm -rf "$work_dir/round"
    cp -r "$work_dir/old" "$work_dir/round"
    cp "$build_dir/bin/launcher" "$build_dir/bin/bt.dat" "$build_dir/bin/LiveUpdate.dll" \
        "$work_dir/round/"
    cp "$work_dir/key/update.pub" "$work_dir/round/"
    printf '[Setting]\nFullScreen=0\nResolution=1\n' >"$work_dir/round/resolution.ini"
    printf '[Addr]\nUpdateVersionUrl1=%s/manifest.xml\n' "$url" >"$work_dir/round/Do.ini"
}

seconds() { echo "$EPOCHREALTIME"; }
# The time of the first manifest request logged after the given line count.
manifest_asked() { tail -n +$(($1 + 1)) "$work_dir/requests.log" | awk '$3 == "/manifest.xml" { print $1; exit }'; }
median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

echo "load: $(uptime)"
curl_times=() curl_sha_times=() module_times=() download_ratios=() whole_times=() flow_times=() parts_times=()
for round in $(seq "$rounds"); do
    fresh_game
    # Odd rounds fetch with the module first, even rounds with curl first.
    if [ $((round % 2)) -eq 1 ]; then
        download=$("$bench" download "$work_dir/round" "$url/manifest.xml" 1.0 1 | awk '{ print $2 }')
    fi
    start=$(seconds)
    curl -sS -o "$work_dir/round/curl.upd" "$url/$package"
    curl_time=$(echo "$(seconds) - $start" | bc)
    sha256sum "$work_dir/round/curl.upd" >/dev/null
    curl_sha_time=$(echo "$(seconds) - $start" | bc)
    rm -f "$work_dir/round/curl.upd"
    if [ $((round % 2)) -eq 0 ]; then
        download=$("$bench" download "$work_dir/round" "$url/manifest.xml" 1.0 1 | awk '{ print $2 }')
    fi
    download_ratios+=("$(echo "scale=3; $download / $curl_time" | bc)")
    curl_times+=("$curl_time") curl_sha_times+=("$curl_sha_time") module_times+=("$download")
    if [ "${DOWNLOAD_ONLY:-0}" = 1 ]; then
        echo "round $round: curl ${curl_time}s curl+sha256sum ${curl_sha_time}s module ${download}s" \
            "ratio ${download_ratios[-1]}"
        continue
    fi
    install=$("$bench" install "$work_dir/round" "$work_dir/round/temp/$package" |
        awk '{ s += $2 } END { print s }')
    start=$(seconds)
    rm -rf "$work_dir/round/temp"
    parts=$(echo "$download + $install + $(seconds) - $start" | bc)

    fresh_game
    logged=$(wc -l <"$work_dir/requests.log")
    start=$(seconds)
    (cd "$work_dir/round" && LAUNCHER_BACKEND=headless exec ./launcher 2>/dev/null) &
    launcher_pid=$!
    until grep -q 'Version=1.1' "$work_dir/round/version.ini" 2>/dev/null &&
        [ ! -e "$work_dir/round/temp" ]; do sleep 0.01; done
    end=$(seconds)
    whole=$(echo "$end - $start" | bc)
    flow=$(echo "$end - $(manifest_asked "$logged")" | bc)
    kill "$launcher_pid"
    wait "$launcher_pid" || true
    launcher_pid=""

    echo "round $round: curl ${curl_time}s curl+sha256sum ${curl_sha_time}s module ${download}s" \
        "| whole ${whole}s flow ${flow}s parts ${parts}s"
    whole_times+=("$whole") flow_times+=("$flow")
    parts_times+=("$parts")
done

curl_m=$(printf '%s\n' "${curl_times[@]}" | median)
curl_sha_m=$(printf '%s\n' "${curl_sha_times[@]}" | median)
module_m=$(printf '%s\n' "${module_times[@]}" | median)
echo "median download: module ${module_m}s, curl ${curl_m}s, ratio $(echo "scale=3; $module_m / $curl_m" | bc)"
# Each round sets the two side by side under the same load: the steadier figure on a busy machine.
sorted_ratios=$(printf '%s\n' "${download_ratios[@]}" | sort -g)
echo "median of the rounds' download ratios: $(echo "$sorted_ratios" | median)" \
    "(spread $(echo "$sorted_ratios" | head -1) to $(echo "$sorted_ratios" | tail -1))"
echo "median curl + sha256sum ${curl_sha_m}s, module ratio $(echo "scale=3; $module_m / $curl_sha_m" | bc)"
if [ "${DOWNLOAD_ONLY:-0}" = 1 ]; then
    echo "load: $(uptime)"
    exit 0
fi
whole_m=$(printf '%s\n' "${whole_times[@]}" | median)
flow_m=$(printf '%s\n' "${flow_times[@]}" | median)
parts_m=$(printf '%s\n' "${parts_times[@]}" | median)
echo "median patch: whole ${whole_m}s, sum of parts ${parts_m}s, ratio $(echo "scale=3; $whole_m / $parts_m" | bc)"
echo "median patch from the first manifest request: ${flow_m}s, ratio $(echo "scale=3; $flow_m / $parts_m" | bc)"
echo "load: $(uptime)"
