#!/usr/bin/env bash
# Load check: `vellinor-cli -j 8 --record` over 2,000 small media files (20 distinct files made
# with ffmpeg, hard-linked under 2,000 names). Passes when every record is there, in argument
# order, and valid; the program exits 0; no zombie lingers and no probe process is left; the
# open descriptors of the program stay bounded (no leak per file). Prints the figures: wall
# time, files per second, peak memory, descriptors, child processes.
#
#     bench/load_check.sh [BUILD_DIR] [FILES] [JOBS]     (defaults: build/release 2000 8)
#
# Builds vellinor-cli with the release preset when BUILD_DIR has none. Needs ffmpeg and
# /usr/bin/time (package time); scripts/setup-deps installs both.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build="${1:-build/release}"
count="${2:-2000}"
jobs="${3:-8}"
cli="$build/bin/vellinor-cli"
if [ ! -x "$cli" ]; then
    cmake --preset release >/dev/null
    cmake --build --preset release --target vellinor-cli
    cli="build/release/bin/vellinor-cli"
fi
cli="$(realpath "$cli")"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

echo "load-check: making 20 distinct media files"
"$root/bench/small_media.sh" "$work" "$count"
mapfile -t inputs < <(printf '%s\n' files/* | sort)
echo "load-check: ${#inputs[@]} files, -j $jobs"

# Run under /usr/bin/time for the peak memory; sample the program's descriptors and children
# from /proc while it runs.
/usr/bin/time -v -o time.txt "$cli" --no-cache -j "$jobs" --record -- "${inputs[@]}" >records.json \
    2>errors.txt &
timer=$!
pid=""
for _ in $(seq 1 200); do
    pid="$(pgrep -P "$timer" -x vellinor-cli || true)"
    [ -n "$pid" ] && break
    sleep 0.01
done
start_ns=$(date +%s%N)
fd_first="" fd_max=0 fd_last=0 children_max=0 zombie_samples=0 lingering=0 samples=0
previous_zombies=""
while [ -n "$pid" ] && [ -d "/proc/$pid" ]; do
    fds=$(ls "/proc/$pid/fd" 2>/dev/null | wc -l) || fds=0
    if [ "$fds" -gt 0 ]; then
        [ -z "$fd_first" ] && fd_first=$fds
        fd_last=$fds
        ((fds > fd_max)) && fd_max=$fds
    fi
    children=$(ps --ppid "$pid" -o pid= 2>/dev/null | wc -l) || children=0
    ((children > children_max)) && children_max=$children
    # ps fails when there are no children at all: that is no zombie, not a failed check.
    zombies=$(ps --ppid "$pid" -o pid=,stat= 2>/dev/null | awk '$2 ~ /^Z/ {print $1}' | sort) ||
        zombies=""
    if [ -n "$zombies" ]; then
        zombie_samples=$((zombie_samples + 1))
        # A child seen dead and unreaped in two samples 50 ms apart is not being reaped.
        if [ -n "$previous_zombies" ] && [ -n "$(comm -12 <(echo "$previous_zombies") \
            <(echo "$zombies"))" ]; then
            lingering=$((lingering + 1))
        fi
    fi
    previous_zombies="$zombies"
    samples=$((samples + 1))
    sleep 0.05
done
status=0
wait "$timer" || status=$?
end_ns=$(date +%s%N)

seconds="$(grep 'Elapsed (wall clock)' time.txt | awk '{print $NF}')"
rss_kb="$(grep 'Maximum resident set size' time.txt | awk '{print $NF}')"
wall=$(awk -v s="$start_ns" -v e="$end_ns" 'BEGIN {printf "%.2f", (e - s) / 1e9}')
rate=$(awk -v n="${#inputs[@]}" -v s="$start_ns" -v e="$end_ns" \
    'BEGIN {printf "%.0f", n / ((e - s) / 1e9)}')
left=$(pgrep -f "$work/files" | wc -l || true)

failures=()
[ "$status" -eq 0 ] || failures+=("exit status $status")
[ ! -s errors.txt ] || failures+=("standard error: $(head -c 300 errors.txt)")
# Each record's first member is its path; they must follow the arguments exactly.
grep -o '"path": "[^"]*"' records.json | sed 's/^"path": "//; s/"$//' >paths.txt
printf '%s\n' "${inputs[@]}" >expected.txt
cmp -s paths.txt expected.txt || failures+=("records missing or out of order \
($(wc -l <paths.txt) of ${#inputs[@]})")
valid=$(grep -c '"isValidMediaFile": true' records.json || true)
[ "$valid" -eq "${#inputs[@]}" ] || failures+=("$valid of ${#inputs[@]} records valid media")
problems=$(grep -c '"problem": null' records.json || true)
[ "$problems" -eq "${#inputs[@]}" ] || failures+=("$((${#inputs[@]} - problems)) records with a problem")
[ "$lingering" -eq 0 ] || failures+=("$lingering samples saw a zombie child linger")
[ "$left" -eq 0 ] || failures+=("$left probe processes left running")
# Descriptors: the three standard ones, the libraries' own, and one pipe per running probe;
# a leak of one per file would reach the hundreds.
((fd_max <= 3 + 8 + 2 * jobs)) || failures+=("up to $fd_max open descriptors")
((fd_last <= fd_first + 2 * jobs)) || failures+=("descriptors grew from $fd_first to $fd_last")

echo "load-check: wall time ${wall} s (time: $seconds), ${rate} files/s"
echo "load-check: peak RSS ${rss_kb} KB"
echo "load-check: open descriptors first ${fd_first:-?}, max $fd_max, last $fd_last" \
    "($samples samples)"
echo "load-check: child processes at once, max $children_max; samples with a zombie child" \
    "$zombie_samples, lingering $lingering; probe processes left $left"
echo "load-check: records $(wc -l <paths.txt) of ${#inputs[@]}, valid media $valid"
if [ "${#failures[@]}" -gt 0 ]; then
    printf 'load-check: FAILED: %s\n' "${failures[@]}" >&2
    exit 1
fi
echo "load-check: passed"
