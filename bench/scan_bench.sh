#!/usr/bin/env bash
# The deep scan against ffmpeg on one long 1080p file made here, side by side in one run, in
# CPU time (user + system of the process and its children) and wall time:
#   (a) `vellinor-cli scan --no-cache FILE` (decode errors, counts, loudness, idet, black,
#       frozen and silent spans, captions, stream and file hashes)
#   (b) ffmpeg doing what the scan computes: one decode through idet, blackdetect and
#       freezedetect on the video and ebur128 (true peak) and silencedetect on the audio, the
#       decoded streams hashed by the streamhash muxer (MD5), then sha256sum and md5sum of the
#       file's bytes
#   (c) ffmpeg's usual loudness-and-interlacing pass alone: ebur128=peak=true, idet,
#       blackdetect, to a null output
# Each is run SCAN_RUNS times (default 3) and the medians are printed with the load average
# before and after: compare the ratios, not the times, on a shared machine.
#
#   bench/scan_bench.sh   (VELLINOR_BUILD=build folder, default build/release;
#                          SCAN_MINUTES=10 the file's length, SCAN_RUNS=3)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
minutes=${SCAN_MINUTES:-10}
runs=${SCAN_RUNS:-3}

build=$(realpath "${VELLINOR_BUILD:-$root/build/release}")
if [ -z "${VELLINOR_BUILD:-}" ]; then
    echo "scan-bench: building (release preset)" >&2
    cmake --preset release >/dev/null
    cmake --build --preset release --target vellinor-cli sniffer >/dev/null
fi
cli=$build/bin/vellinor-cli

work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
export XDG_CACHE_HOME=$work/cache
file=$work/long.mp4
seconds=$((minutes * 60))

echo "scan-bench: making a ${minutes}-minute 1080p file" >&2
# Moving pictures with a still stretch and a black one, speech-like sound with a silent gap, so
# every analysis has something to find.
ffmpeg -hide_banner -loglevel error -nostdin -y \
    -f lavfi -i "testsrc2=size=1920x1080:rate=25:duration=$seconds" \
    -f lavfi -i "sine=frequency=440:beep_factor=4:sample_rate=48000:duration=$seconds" \
    -vf "drawbox=enable='between(t,20,24)':color=black:t=fill" \
    -af "volume=enable='between(t,30,34)':volume=0" \
    -c:v libx264 -preset veryfast -crf 26 -g 250 -pix_fmt yuv420p -c:a aac -b:a 128k "$file"

ff=(ffmpeg -hide_banner -nostats -loglevel error -nostdin -i "$file")
everything="${ff[*]} -filter_complex '[0:v]idet,blackdetect=d=2:pic_th=0.98:pix_th=0.10,freezedetect=n=-60dB:d=2[v];[0:a]ebur128=peak=true,silencedetect=n=-60dB:d=2[a]' -map '[v]' -map '[a]' -f streamhash -hash md5 - >/dev/null && sha256sum '$file' >/dev/null && md5sum '$file' >/dev/null"
usual="${ff[*]} -af ebur128=peak=true -vf idet,blackdetect -f null - >/dev/null"
scan="'$cli' scan --no-cache --no-progress '$file' >/dev/null"

# CPU seconds (user + system, children included) and wall seconds of one run, on one line.
measure() {
    /usr/bin/time -f '%U %S %e' -o "$work/time.txt" bash -c "$1" 2>/dev/null || true
    awk '{ printf "%.2f %.2f\n", $1 + $2, $3 }' "$work/time.txt"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

load_before=$(uptime)
: >"$work/scan.txt"; : >"$work/everything.txt"; : >"$work/usual.txt"
for ((i = 0; i < runs; i++)); do
    echo "scan-bench: run $((i + 1)) of $runs" >&2
    measure "$scan" >>"$work/scan.txt"
    measure "$everything" >>"$work/everything.txt"
    measure "$usual" >>"$work/usual.txt"
done
load_after=$(uptime)

cpu() { awk '{ print $1 }' "$work/$1.txt" | median; }
wall() { awk '{ print $2 }' "$work/$1.txt" | median; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
scan_cpu=$(cpu scan); all_cpu=$(cpu everything); usual_cpu=$(cpu usual)
echo
echo "Deep scan of a ${minutes}-minute 1080p H.264 + AAC file on $(nproc) cores, medians of $runs"
echo "load before: $load_before"
echo "load after:  $load_after"
echo
echo "| what | CPU | wall | CPU ratio | goal |"
echo "|---|---:|---:|---:|---|"
echo "| vellinor-cli scan --no-cache | $scan_cpu s | $(wall scan) s | | |"
echo "| ffmpeg, the same analyses and hashes, + sha256sum, md5sum | $all_cpu s | $(wall everything) s | scan $(ratio "$scan_cpu" "$all_cpu") x | <= 1.0 |"
echo "| ffmpeg -af ebur128=peak=true -vf idet,blackdetect -f null - | $usual_cpu s | $(wall usual) s | scan $(ratio "$scan_cpu" "$usual_cpu") x | <= 1.0 |"
