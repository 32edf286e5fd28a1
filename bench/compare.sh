#!/usr/bin/env bash
# Measures Vellinor's probing against its peers, side by side in one run, on media made here:
#   (v) starting up: vellinor-cli --version  vs  mediainfo --version (no front end loads libav)
#   (a) one file:  our `sniffer` run once  vs  the stock ffprobe; vellinor-cli --record FILE
#   (b) one file through a warm probe server (bench/serve_bench: medians of 200 answers, with
#       the same file probed inside one process and a bare fork for the floor)
#   (c) 200 small files: vellinor-cli -j 1 and -j 2 on private servers  vs  mediainfo
#       --Output=JSON (one process over the same files)  vs  vellinor-cli -j 2 on the stock
#       ffprobe (VELLINOR_PROBE_TOOL)
#   (d) 2,000 files: vellinor-cli -j 2 --record on private servers (records all there and in order, peak memory of
#       its largest process, its descriptors), and one warm server through all of them (its
#       memory after the first 100 files and at the end, its descriptors)
#   (e) start-up and the shared probe server: vellinor-cli --version vs mediainfo --version;
#       one file cold (no server running: each run starts it) and warm (it runs) vs ffprobe and
#       mediainfo; the 200 files -j 2 through the warm shared server and through private
#       servers (--no-server) vs mediainfo. The shared server lives in a runtime folder of this
#       run's own and is stopped at the end.
#   (w) the window: selecting the next small file until it shows, with a warm probe server and
#       with a one-shot run per selection (bench/window_timing.cpp, medians of 40)
#   (s) the sheet: sorting 200 probed files by each column both ways (bench/sheet_sort_timing.cpp,
#       median and worst of every sort)
#   (f) fork per file vs reuse: the same 200 files -j 2 on private servers whose children each
#       probe one file (the server run with --files-per-child 1, through a resources folder of
#       this run's own) against the default, a child reused while its files are clean
# Times are hyperfine medians; the machine's load is printed before and after, and the ratios
# are what to compare across machines.
#
#   bench/compare.sh    (VELLINOR_BUILD=build folder, default build/release; BENCH_FILES=200,
#                        BENCH_MANY=2000, BENCH_RUNS=20, BENCH_BATCH_RUNS=5 change the sizes)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

files=${BENCH_FILES:-200}
many=${BENCH_MANY:-2000}
runs=${BENCH_RUNS:-20}
batch_runs=${BENCH_BATCH_RUNS:-5}

scripts/setup-deps
build=$(realpath "${VELLINOR_BUILD:-$root/build/release}")
if [ -z "${VELLINOR_BUILD:-}" ]; then
    echo "compare: building (release preset)" >&2
    cmake --preset release >/dev/null
    cmake --build --preset release --target vellinor-cli sniffer serve_bench >/dev/null
    # The window's figure, where this build has the window.
    cmake --build --preset release --target window_timing sheet_sort_timing >/dev/null 2>&1 ||
        true
fi
cli=$build/bin/vellinor-cli
sniffer=$build/share/vellinor/sniffer
serve_bench=$build/bin/serve_bench
stock=$(command -v ffprobe)

work=$(mktemp -d)
# A runtime folder of this run's own: the shared server measured here is this build's, and is
# stopped when the run ends.
export XDG_RUNTIME_DIR=$work/run
unset VELLINOR_NO_SERVER
mkdir -m 700 "$XDG_RUNTIME_DIR"
trap '"$cli" server stop >/dev/null 2>&1 || true; rm -rf -- "$work"' EXIT
load_before=$(uptime)

echo "compare: making media in $work" >&2
scripts/make-demo "$work/one.m4v"
mkdir "$work/batch" "$work/many"
ff=(ffmpeg -hide_banner -loglevel error -nostdin -y)
"${ff[@]}" -f lavfi -i testsrc2=size=320x240:rate=25:duration=1 \
    -f lavfi -i sine=frequency=440:duration=1 -c:v libx264 -preset ultrafast -c:a aac \
    -metadata:s:a:0 language=eng -metadata title="Batch clip" "$work/seed.mp4"
"${ff[@]}" -i "$work/seed.mp4" -c copy -metadata:s:a:0 language=fre "$work/seed.mkv"
"${ff[@]}" -f lavfi -i sine=frequency=550:duration=2 -c:a aac "$work/seed.m4a"
"${ff[@]}" -f lavfi -i sine=frequency=660:duration=2 -c:a flac "$work/seed.flac"
seeds=("$work/seed.mp4" "$work/seed.mkv" "$work/seed.m4a" "$work/seed.flac")
for ((i = 0; i < files; i++)); do
    seed=${seeds[i % ${#seeds[@]}]}
    cp -- "$seed" "$(printf '%s/batch/clip-%03d.%s' "$work" "$i" "${seed##*.}")"
done
for ((i = 0; i < many; i++)); do
    seed=${seeds[i % ${#seeds[@]}]}
    ln -- "$seed" "$(printf '%s/many/clip-%05d.%s' "$work" "$i" "${seed##*.}")"
done

probe_args="-v quiet -print_format json -show_format -show_streams -show_chapters -show_error"
one_sniffer="$sniffer $probe_args $work/one.m4v"
one_ffprobe="$stock $probe_args $work/one.m4v"
one_cli="$cli --no-cache --no-server --record $work/one.m4v"
one_shared="$cli --no-cache --record $work/one.m4v"
one_mediainfo="mediainfo --Output=JSON $work/one.m4v"
stop_server="$cli server stop >/dev/null"
batch_cli1="$cli --no-cache --no-server -j 1 --record -r $work/batch"
batch_cli2="$cli --no-cache --no-server -j 2 --record -r $work/batch"
batch_shared="$cli --no-cache -j 2 --record -r $work/batch"
batch_mediainfo="mediainfo --Output=JSON $work/batch"
batch_stock="VELLINOR_PROBE_TOOL=$stock $cli --no-cache -j 2 --record -r $work/batch"

# Every command must work, and give the same document, before it is timed.
for command in "$one_sniffer" "$one_cli" "$one_shared" "$batch_cli2" "$batch_shared" \
    "$batch_mediainfo" "$batch_stock"; do
    bash -c "$command" >/dev/null
done
cmp -s <(bash -c "$one_sniffer") <(bash -c "$one_ffprobe") ||
    echo "compare: note: sniffer and ffprobe documents differ for one.m4v" >&2

echo "compare: (v) --version" >&2
hyperfine --style basic --warmup 5 --runs "$((runs * 2))" -N --export-csv "$work/version.csv" \
    -n "vellinor-cli --version" "$cli --version" -n "mediainfo --version" "mediainfo --version" >&2
echo "compare: (a) one file" >&2
hyperfine --style basic --warmup 3 --runs "$runs" --export-csv "$work/one.csv" \
    -n "sniffer" "$one_sniffer" -n "ffprobe" "$one_ffprobe" \
    -n "vellinor-cli --record" "$one_cli" >&2
echo "compare: (b) warm server" >&2
"$serve_bench" latency "$sniffer" "$work/batch/clip-000.mp4" 200 >"$work/latency.txt"
echo "compare: (c) $files files" >&2
hyperfine --style basic --warmup 1 --runs "$batch_runs" --export-csv "$work/batch.csv" \
    -n "vellinor-cli -j 1" "$batch_cli1" -n "vellinor-cli -j 2" "$batch_cli2" \
    -n "mediainfo" "$batch_mediainfo" >&2
hyperfine --style basic --runs 2 --export-csv "$work/stock.csv" \
    -n "vellinor-cli -j 2 (stock ffprobe)" "$batch_stock" >&2

echo "compare: (e) start-up and the shared server" >&2
hyperfine --style basic --warmup 3 --runs "$runs" --export-csv "$work/version.csv" \
    -n "vellinor-cli --version" "$cli --version" -n "mediainfo --version" "mediainfo --version" >&2
hyperfine --style basic --warmup 2 --runs "$runs" --export-csv "$work/shared-one.csv" \
    --prepare "$stop_server" -n "one file cold" "$one_shared" \
    --prepare true -n "one file warm" "$one_shared" \
    --prepare true -n "ffprobe" "$one_ffprobe" \
    --prepare true -n "mediainfo" "$one_mediainfo" >&2
hyperfine --style basic --warmup 1 --runs "$batch_runs" --export-csv "$work/shared-batch.csv" \
    -n "shared -j 2" "$batch_shared" -n "private -j 2" "$batch_cli2" \
    -n "mediainfo" "$batch_mediainfo" >&2
"$cli" server stop >/dev/null

echo "compare: (f) fork per file vs reuse" >&2
# The installed sniffer, each server it starts told to end every child after one file.
mkdir "$work/fork-per-file"
cp -- "$build/share/vellinor/pnf.jpg" "$work/fork-per-file/"
real_sniffer=$(realpath "$sniffer")
printf '#!/bin/sh\nif [ "$1" = --serve ]; then exec "%s" "$@" --files-per-child 1; fi\nexec "%s" "$@"\n' \
    "$real_sniffer" "$real_sniffer" >"$work/fork-per-file/sniffer"
chmod +x "$work/fork-per-file/sniffer"
batch_fork="VELLINOR_RESOURCE_DIR=$work/fork-per-file $batch_cli2"
bash -c "$batch_fork" >/dev/null
hyperfine --style basic --warmup 1 --runs "$batch_runs" --export-csv "$work/fork.csv" \
    -n "fork per file" "$batch_fork" -n "reuse" "$batch_cli2" >&2

echo "compare: (w) the window" >&2
window_line=""
if [ -x "$build/bin/window_timing" ]; then
    window_line=$("$build/bin/window_timing" 2>/dev/null | grep '^window: ' || true)
fi

echo "compare: (s) the sheet" >&2
sheet_line=""
if [ -x "$build/bin/sheet_sort_timing" ]; then
    sheet_line=$("$build/bin/sheet_sort_timing" "$files" 2>/dev/null | grep '^sheet: ' || true)
fi

echo "compare: (d) $many files" >&2
mapfile -t many_files < <(printf '%s\n' "$work"/many/* | sort)
/usr/bin/time -v -o "$work/many-time.txt" "$cli" --no-cache --no-server -j 2 --record -- "${many_files[@]}" \
    >"$work/many.json" 2>"$work/many-err.txt" &
timer=$!
fd_max=0
while kill -0 "$timer" 2>/dev/null; do
    for pid in $(pgrep -P "$timer" -x vellinor-cli || true); do
        fds=$(ls "/proc/$pid/fd" 2>/dev/null | wc -l) || fds=0
        ((fds > fd_max)) && fd_max=$fds
    done
    sleep 0.1
done
wait "$timer"
many_records=$(grep -c '"path": ' "$work/many.json" || true)
grep -o '"path": "[^"]*"' "$work/many.json" | sed 's/^"path": "//; s/"$//' >"$work/many-paths.txt"
many_order=$(cmp -s "$work/many-paths.txt" <(printf '%s\n' "${many_files[@]}") &&
    echo "in order" || echo "OUT OF ORDER")
many_peak=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/many-time.txt")
many_wall=$(awk '/Elapsed \(wall clock\)/ { print $NF }' "$work/many-time.txt")
"$serve_bench" memory "$sniffer" "${many_files[@]}" >"$work/memory.txt"
load_after=$(uptime)

median() { awk -F, -v name="$2" '$1 == name { print $4 }' "$1"; }  # CSV, row name
figure() { awk -v key="$2" '$1 == key { print $2 }' "$1"; }        # file, key
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
ms() { awk -v s="$1" 'BEGIN { printf "%.1f", s * 1000 }'; }

version_cli_s=$(median "$work/version.csv" "vellinor-cli --version")
version_mediainfo_s=$(median "$work/version.csv" "mediainfo --version")
one_sniffer_s=$(median "$work/one.csv" "sniffer")
one_ffprobe_s=$(median "$work/one.csv" "ffprobe")
one_cli_s=$(median "$work/one.csv" "vellinor-cli --record")
b1=$(median "$work/batch.csv" "vellinor-cli -j 1")
b2=$(median "$work/batch.csv" "vellinor-cli -j 2")
bm=$(median "$work/batch.csv" "mediainfo")
bs=$(median "$work/stock.csv" "vellinor-cli -j 2 (stock ffprobe)")
warm=$(figure "$work/latency.txt" warm_server_ms)
rss100=$(figure "$work/memory.txt" server_rss_after_100_kb)
v_cli=$(median "$work/version.csv" "vellinor-cli --version")
v_mi=$(median "$work/version.csv" "mediainfo --version")
cold=$(median "$work/shared-one.csv" "one file cold")
warm_one=$(median "$work/shared-one.csv" "one file warm")
one_ff2=$(median "$work/shared-one.csv" "ffprobe")
one_mi=$(median "$work/shared-one.csv" "mediainfo")
sb=$(median "$work/shared-batch.csv" "shared -j 2")
pb=$(median "$work/shared-batch.csv" "private -j 2")
sbm=$(median "$work/shared-batch.csv" "mediainfo")
rss_end=$(figure "$work/memory.txt" server_rss_end_kb)
fork_s=$(median "$work/fork.csv" "fork per file")
reuse_s=$(median "$work/fork.csv" "reuse")
cpu() { awk -F, -v name="$2" '$1 == name { printf "%.2f", $5 + $6 }' "$1"; }  # user + system, s

echo
echo "Vellinor probing on $(nproc) cores"
echo "load before: $load_before"
echo "load after:  $load_after"
echo
echo "| what | median | ratio | goal |"
echo "|---|---:|---:|---|"
echo "| (v) vellinor-cli --version | $(ms "$version_cli_s") ms | $(ratio "$version_cli_s" "$version_mediainfo_s") x mediainfo --version | <= 1.5 |"
echo "| (v) mediainfo --version | $(ms "$version_mediainfo_s") ms | | |"
echo "| (a) one file, \`sniffer\` run once | $(ms "$one_sniffer_s") ms | $(ratio "$one_sniffer_s" "$one_ffprobe_s") x ffprobe | <= 0.7 |"
echo "| (a) one file, stock ffprobe | $(ms "$one_ffprobe_s") ms | | |"
echo "| (a) one file, vellinor-cli --record | $(ms "$one_cli_s") ms | $(ratio "$one_cli_s" "$one_ffprobe_s") x ffprobe | |"
echo "| (b) warm server, one small file | $warm ms | | < 5 ms |"
echo "| (b) same file probed in-process (no fork) | $(figure "$work/latency.txt" in_process_ms) ms | | |"
echo "| (b) a bare fork and exit in a process like the server | $(figure "$work/latency.txt" fork_exit_ms) ms | | |"
echo "| (b) the same fork entering the sandbox before it exits (CPU) | $(figure "$work/latency.txt" fork_sandbox_exit_ms) ms ($(figure "$work/latency.txt" fork_sandbox_exit_cpu_ms) vs $(figure "$work/latency.txt" fork_exit_cpu_ms) ms) | | sandbox < 0.2 ms |"
echo "| (b) CPU per answer: warm server / in-process | $(figure "$work/latency.txt" warm_server_cpu_ms) / $(figure "$work/latency.txt" in_process_cpu_ms) ms | | |"
echo "| (c) $files files, vellinor-cli -j 2 | $(ms "$b2") ms | $(ratio "$b2" "$bm") x mediainfo | <= 0.5 (aim 0.25) |"
echo "| (c) $files files, vellinor-cli -j 1 | $(ms "$b1") ms | $(ratio "$b1" "$bm") x mediainfo | |"
echo "| (c) $files files, mediainfo --Output=JSON | $(ms "$bm") ms | | |"
echo "| (c) $files files, vellinor-cli -j 2 on stock ffprobe | $(ms "$bs") ms | $(ratio "$bs" "$bm") x mediainfo | |"
echo "| (d) $many files, vellinor-cli -j 2 --record | $many_wall (m:s) | $many_records records, $many_order | all, in order |"
echo "| (d) largest process of that run, peak RSS | $many_peak KB | | |"
echo "| (d) vellinor-cli descriptors, most at once | $fd_max | | bounded |"
echo "| (d) one server through $many files: RSS after 100 / at the end | $rss100 / $rss_end KB | $(ratio "$rss_end" "$rss100") | <= 1.10 |"
echo "| (d) that server: peak RSS, descriptors after 100 / at the end | $(figure "$work/memory.txt" server_peak_kb) KB, $(figure "$work/memory.txt" server_fds_after_100) / $(figure "$work/memory.txt" server_fds_end) | $(figure "$work/memory.txt" answered) answers | |"
echo "| (e) \`vellinor-cli --version\` | $(ms "$v_cli") ms | $(ratio "$v_cli" "$v_mi") x mediainfo --version | <= 1.5 |"
echo "| (e) \`mediainfo --version\` | $(ms "$v_mi") ms | | |"
echo "| (e) one file, warm shared server, \`vellinor-cli --no-cache --record\` | $(ms "$warm_one") ms | $(ratio "$warm_one" "$one_mi") x mediainfo | <= 0.5 |"
echo "| (e) one file, cold (the run starts the server) | $(ms "$cold") ms | $(ratio "$cold" "$one_ff2") x ffprobe | <= 0.6 |"
echo "| (e) one file, ffprobe / mediainfo --Output=JSON | $(ms "$one_ff2") / $(ms "$one_mi") ms | | |"
echo "| (e) $files files -j 2, warm shared server | $(ms "$sb") ms | $(ratio "$sb" "$sbm") x mediainfo | <= 0.5 (aim 0.3) |"
echo "| (e) $files files -j 2, private servers (--no-server) | $(ms "$pb") ms | $(ratio "$pb" "$sbm") x mediainfo | |"
echo "| (e) $files files, mediainfo --Output=JSON | $(ms "$sbm") ms | | |"
echo "| (f) $files files -j 2, a child per file (--files-per-child 1) | $(ms "$fork_s") ms, CPU $(cpu "$work/fork.csv" "fork per file") s | $(ratio "$fork_s" "$reuse_s") x reuse | |"
echo "| (f) $files files -j 2, a child reused while its files are clean | $(ms "$reuse_s") ms, CPU $(cpu "$work/fork.csv" "reuse") s | | |"
if [ -n "$window_line" ]; then
    served_ms=$(sed -E 's/.* in ([0-9.]+) ms .*/\1/' <<<"$window_line")
    one_shot_ms=$(sed -E 's/.*, ([0-9.]+) ms with a one-shot.*/\1/' <<<"$window_line")
    echo "| (w) window: selecting the next small file until it shows | $served_ms ms | $(ratio "$served_ms" "$one_shot_ms") x a one-shot run ($one_shot_ms ms) | < 10 ms |"
else
    echo "| (w) window: not measured (no window_timing in $build/bin: a build without the window or the benchmarks) | | | |"
fi
if [ -n "$sheet_line" ]; then
    sheet_median=$(sed -E 's/.*median ([0-9.]+) ms.*/\1/' <<<"$sheet_line")
    sheet_worst=$(sed -E 's/.*worst ([0-9.]+) ms.*/\1/' <<<"$sheet_line")
    echo "| (s) sheet: sorting $files files by a column, median / worst | $sheet_median / $sheet_worst ms | | < 100 ms |"
else
    echo "| (s) sheet: not measured (no sheet_sort_timing in $build/bin) | | | |"
fi
[ -s "$work/many-err.txt" ] && echo "note: the $many-file run wrote to standard error: $(head -c 300 "$work/many-err.txt")"
exit 0
