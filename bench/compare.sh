#!/usr/bin/env bash
# Measures vellinor-cli against its peers, side by side in one run, on media made here:
#   (a) one file:   vellinor-cli --record FILE      vs  bare ffprobe (the tool it runs)
#   (b) a batch:    vellinor-cli -j N --record      vs  mediainfo --Output=JSON  vs  an ffprobe
#                   loop; and vellinor-cli -j 1 vs -j 2 for scaling
#   (c) peak memory of each (GNU time: maximum resident set size of the largest process)
# Times are hyperfine medians. Prints a table of medians and ratios.
#
#   bench/compare.sh        (VELLINOR_CLI=path to use another build; BENCH_FILES=200,
#                            BENCH_RUNS=20 and BENCH_BATCH_RUNS=10 to change the sizes)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

files=${BENCH_FILES:-200}
runs=${BENCH_RUNS:-20}
batch_runs=${BENCH_BATCH_RUNS:-10}
jobs=$(nproc)

scripts/setup-deps
cli=${VELLINOR_CLI:-$root/build/release/bin/vellinor-cli}
if [ -z "${VELLINOR_CLI:-}" ]; then
    echo "compare: building vellinor-cli (release preset)" >&2
    cmake --preset release >/dev/null
    cmake --build --preset release --target vellinor-cli >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT

echo "compare: making media in $work" >&2
scripts/make-demo "$work/one.m4v"
mkdir "$work/batch"
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

ffprobe_args="-v quiet -print_format json -show_format -show_streams -show_chapters -show_error"
one_cli="$cli --no-cache --record $work/one.m4v"
one_ffprobe="ffprobe $ffprobe_args $work/one.m4v"
batch_cli="$cli --no-cache -j $jobs --record -r $work/batch"
batch_cli1="$cli --no-cache -j 1 --record -r $work/batch"
batch_cli2="$cli --no-cache -j 2 --record -r $work/batch"
batch_mediainfo="mediainfo --Output=JSON $work/batch"
batch_ffprobe="for f in $work/batch/*; do ffprobe $ffprobe_args \$f; done"

# Every command must work before it is timed.
for command in "$one_cli" "$one_ffprobe" "$batch_cli" "$batch_mediainfo" "$batch_ffprobe"; do
    bash -c "$command" >/dev/null
done

echo "compare: (a) one file" >&2
hyperfine --style basic --warmup 3 --runs "$runs" --export-csv "$work/one.csv" \
    -n "vellinor-cli --record" "$one_cli" -n "ffprobe" "$one_ffprobe" >&2
echo "compare: (b) $files files" >&2
hyperfine --style basic --warmup 1 --runs "$batch_runs" --export-csv "$work/batch.csv" \
    -n "vellinor-cli -j $jobs --record (all cores)" "$batch_cli" \
    -n "vellinor-cli -j 1 --record" "$batch_cli1" \
    -n "vellinor-cli -j 2 --record" "$batch_cli2" \
    -n "mediainfo --Output=JSON" "$batch_mediainfo" \
    -n "ffprobe loop" "$batch_ffprobe" >&2

# median seconds of the row named $2 in CSV $1
median() { awk -F, -v name="$2" '$1 == name { print $4 }' "$1"; }
# peak resident set size in KB, the largest of three runs
peak() {
    local most=0 kb
    for _ in 1 2 3; do
        kb=$(/usr/bin/time -v bash -c "$1" 2>&1 >/dev/null |
            awk -F': ' '/Maximum resident set size/ { print $2 }')
        [ "$kb" -gt "$most" ] && most=$kb
    done
    echo "$most"
}

one_cli_s=$(median "$work/one.csv" "vellinor-cli --record")
one_ffprobe_s=$(median "$work/one.csv" "ffprobe")
b_cli=$(median "$work/batch.csv" "vellinor-cli -j $jobs --record (all cores)")
b_cli1=$(median "$work/batch.csv" "vellinor-cli -j 1 --record")
b_cli2=$(median "$work/batch.csv" "vellinor-cli -j 2 --record")
b_mediainfo=$(median "$work/batch.csv" "mediainfo --Output=JSON")
b_ffprobe=$(median "$work/batch.csv" "ffprobe loop")

row() {  # name, seconds, reference seconds, reference name, command for memory
    awk -v n="$1" -v s="$2" -v r="$3" -v rn="$4" -v kb="$(peak "$5")" 'BEGIN {
        ratio = (rn == "") ? "" : sprintf("%.2f x %s", s / r, rn)
        printf "%-40s %10.1f   %-28s %9d\n", n, s * 1000, ratio, kb }'
}

echo
echo "Vellinor comparison on $(nproc) cores; medians of hyperfine runs; peak RSS of the largest process"
printf '%-40s %10s   %-28s %9s\n' "command" "median ms" "ratio" "peak KB"
echo "(a) one file ($(du -k "$work/one.m4v" | cut -f1) KB M4V, 7 tracks, 3 chapters)"
row "vellinor-cli --record" "$one_cli_s" "$one_ffprobe_s" "ffprobe" "$one_cli"
row "ffprobe (bare)" "$one_ffprobe_s" "" "" "$one_ffprobe"
echo "(b) $files small files"
row "vellinor-cli -j $jobs --record (all cores)" "$b_cli" "$b_mediainfo" "mediainfo" "$batch_cli"
row "mediainfo --Output=JSON" "$b_mediainfo" "" "" "$batch_mediainfo"
row "ffprobe loop (sequential)" "$b_ffprobe" "$b_cli" "vellinor -j $jobs" "$batch_ffprobe"
row "vellinor-cli -j 1 --record" "$b_cli1" "" "" "$batch_cli1"
row "vellinor-cli -j 2 --record" "$b_cli2" "$b_cli1" "-j 1" "$batch_cli2"
echo
echo "Goals: (a) vellinor-cli within 1.05 x bare ffprobe; (b) faster than mediainfo, and -j 2"
echo "faster than -j 1. Each file costs one ffprobe start (about 45 ms of loading and library"
echo "set-up here), which mediainfo, a library in one process, does not pay."
