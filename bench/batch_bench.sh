#!/usr/bin/env bash
# Batch benchmark of vellinor-cli over FILES small media files (20 distinct files made with
# ffmpeg, hard-linked under FILES names), read from a --files-from list:
#   (a) the probe cache: a first run into an empty cache, then re-runs over the unchanged files
#       (median of 5), and the same batch with --no-cache for reference;
#   (b) --jsonl streaming: when the first record appears against the time the batch takes per
#       file, and peak memory of --jsonl over FILES and over 10 x FILES (flat when memory does
#       not grow with the batch).
#
#     bench/batch_bench.sh [BUILD_DIR] [FILES] [JOBS]     (defaults: build/release 2000 2)
#
# Needs ffmpeg, hyperfine and /usr/bin/time (scripts/setup-deps installs them) and python3.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build="${1:-build/release}"
count="${2:-2000}"
jobs="${3:-2}"
cli="$(realpath "$build/bin/vellinor-cli")"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
export XDG_CACHE_HOME="$work/cache"

echo "batch-bench: making 20 distinct media files, linked under $count names" >&2
"$root/bench/small_media.sh" "$work" "$count"
find "$work/files" -type f | sort > list.txt
# Ten times the batch: the same names, ten times over.
for _ in 1 2 3 4 5 6 7 8 9 10; do cat list.txt; done > list10.txt

echo "batch-bench: machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)" >&2

# ---- (a) the probe cache ----
start=$(date +%s.%N)
"$cli" -j "$jobs" --jsonl --files-from list.txt > first.jsonl
first=$(python3 -c "print('%.3f' % ($(date +%s.%N) - $start))")
lines=$(wc -l < first.jsonl)
[ "$lines" -eq "$count" ] || { echo "batch-bench: $lines records, not $count" >&2; exit 1; }
hyperfine --style basic --runs 5 --export-json rerun.json \
    -n "re-run with the cache" "$cli -j $jobs --jsonl --files-from list.txt" >&2
hyperfine --style basic --runs 2 --export-json nocache.json \
    -n "no cache" "$cli --no-cache -j $jobs --jsonl --files-from list.txt" >&2
"$cli" -j "$jobs" --jsonl --files-from list.txt | cmp - first.jsonl
median() { python3 -c 'import json, sys; print("%.3f" % json.load(open(sys.argv[1]))["results"][0]["median"])' "$1"; }
rerun=$(median rerun.json)
nocache=$(median nocache.json)

# ---- (b) --jsonl streaming ----
cat > timing.py <<'PY'
# Reads JSON Lines on standard input; prints when the 1st and the 20th arrived, the total time
# and the count, and writes the arrival of the first to first-record.txt.
import sys, time
start = float(sys.argv[1])
seen = 0
marks = {}
for line in sys.stdin.buffer:
    seen += 1
    if seen in (1, 20):
        marks[seen] = time.time()
        if seen == 1:
            open("first-record.txt", "w").write("%.6f\n" % marks[1])
total = time.time() - start
print("%.3f %.3f %.3f %d" % (marks.get(1, start) - start, marks.get(20, start) - start, total, seen))
PY
stream() {  # LIST: the times, and peak memory in rss.txt
    local at
    at=$(date +%s.%N)
    /usr/bin/time -f '%M' -o rss.txt "$cli" --no-cache -j "$jobs" --jsonl --files-from "$1" |
        python3 timing.py "$at"
}
read -r t1 t20 total seen < <(stream list.txt)
rss_probed=$(cat rss.txt)
head -n 200 list.txt > list200.txt
stream list200.txt > /dev/null
rss_probed200=$(cat rss.txt)
# How many probes had started when the first record appeared: the stock tool, run once per
# file through a wrapper that notes when each probe starts.
cat > tool.sh <<SH
#!/bin/sh
case "\$1" in -version|--version) ;; *) date +%s.%N >> "$work/starts.txt" ;; esac
exec ffprobe "\$@"
SH
chmod +x tool.sh
: > starts.txt
VELLINOR_PROBE_TOOL="$work/tool.sh" stream list200.txt > /dev/null
started=$(python3 -c '
import sys
first = float(open("first-record.txt").read())
print(sum(1 for line in open("starts.txt") if float(line) < first))')
rss() { /usr/bin/time -f '%M' -o rss.txt "$@" > /dev/null; cat rss.txt; }
rss_batch=$(rss "$cli" -j "$jobs" --jsonl --files-from list.txt)
rss_ten=$(rss "$cli" -j "$jobs" --jsonl --files-from list10.txt)
rss_record=$(rss "$cli" -j "$jobs" --record --files-from list10.txt)

cat <<EOF2
| measure | value |
|---|---|
| first run, empty cache ($count files, -j $jobs) | ${first} s |
| re-run, unchanged files, cache warm (median of 5) | ${rerun} s |
| same batch with --no-cache (median of 2) | ${nocache} s |
| speed-up of the re-run over the first run | $(python3 -c "print('%.0fx' % ($first / $rerun))") |
| --jsonl, --no-cache: first record after | ${t1} s |
| --jsonl, --no-cache: 20th record after | ${t20} s |
| --jsonl, --no-cache: all $seen records after | ${total} s ($(python3 -c "print('%.1f' % ($total / $seen * 1000))") ms a file) |
| --jsonl, stock tool one-shot: probes started when the first record appeared | ${started} |
| peak memory, --jsonl --no-cache over 200 files | ${rss_probed200} KB |
| peak memory, --jsonl --no-cache over $count files | ${rss_probed} KB |
| peak memory, --jsonl over $count files (cache warm) | ${rss_batch} KB |
| peak memory, --jsonl over $((count * 10)) files (cache warm) | ${rss_ten} KB |
| peak memory, --record over $((count * 10)) files (cache warm) | ${rss_record} KB |
EOF2
