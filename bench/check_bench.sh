#!/usr/bin/env bash
# Policy check benchmark: FILES small media files (bench/small_media.sh), probed once into the
# cache, then `vellinor-cli check` with a 20-rule policy over all of them (median of 5, CPU
# time too), against the same 20 rules run by the jq program (jq 1.6, the same library) over
# the same records, written once by `vellinor-cli --jsonl`: what a script that keeps its own
# records would pay for the rules alone.
#
#     bench/check_bench.sh [BUILD_DIR] [FILES]     (defaults: build/release 2000)
#
# Needs ffmpeg, jq, hyperfine and /usr/bin/time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build="${1:-build/release}"
count="${2:-2000}"
cli="$(realpath "$build/bin/vellinor-cli")"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
export XDG_CACHE_HOME="$work/cache"

echo "check-bench: making 20 distinct media files, linked under $count names" >&2
"$root/bench/small_media.sh" "$work" "$count"
find "$work/files" -type f | sort > list.txt

# Twenty rules of every kind: short forms per file and per track, with tolerances, lists and
# patterns, and jq programs over the tracks.
cat > policy.toml <<'TOML'
name = "Benchmark"
[[rule]]
name = "r01"
field = "duration"
op = ">"
value = 0.1
[[rule]]
name = "r02"
field = "numberOfTracks"
op = "<="
value = 4
[[rule]]
name = "r03"
field = "bitrate"
op = "<"
value = 50000000
[[rule]]
name = "r04"
field = "format.format_name"
op = "matches"
value = "mp4|matroska|avi|mpegts|wav"
[[rule]]
name = "r05"
field = "toolProblem"
value = "none"
severity = "warning"
[[rule]]
name = "r06"
tracks = "audio"
field = "sample_rate"
op = "in"
value = [8000, 44100, 48000]
[[rule]]
name = "r07"
tracks = "audio"
field = "channels"
op = ">="
value = 1
[[rule]]
name = "r08"
tracks = "audio"
field = "codec_name"
op = "in"
value = ["aac", "opus", "pcm_s16le", "flac"]
[[rule]]
name = "r09"
tracks = "video"
field = "width"
value = 32
tolerance = 1
[[rule]]
name = "r10"
tracks = "video"
field = "avg_frame_rate"
value = 25
tolerance = 0.01
[[rule]]
name = "r11"
tracks = "video"
field = "pix_fmt"
value = "yuv420p"
[[rule]]
name = "r12"
tracks = "video"
field = "field_order"
op = "exists"
severity = "warning"
[[rule]]
name = "r13"
jq = "[.tracksInfo[] | select(.trackType == \"Audio\")] | length <= 2"
[[rule]]
name = "r14"
jq = "all(.tracksInfo[]; .trackDuration == null or .trackDuration > 0)"
[[rule]]
name = "r15"
jq = ".isValidMediaFile and (.hasErrors | not)"
[[rule]]
name = "r16"
jq = "(.fileSize // 0) < 10000000"
[[rule]]
name = "r17"
tracks = "video"
jq = ".facts.height * 4 == .facts.width * 3"
[[rule]]
name = "r18"
jq = "any(.tracksInfo[]; .trackType == \"Video\") or .numberOfAudioTracks > 0"
[[rule]]
name = "r19"
tracks = "audio"
jq = "(.facts.bit_rate // 0) < 320000"
severity = "warning"
[[rule]]
name = "r20"
jq = ".metadata | length > 3"
TOML

# The same rules as one jq filter over a record, for the jq program.
cat > rules.jq <<'JQ'
def facts: (.trackKeyValue // []) | map({key, value: (.value | tonumber? // .)}) | from_entries;
def fmt: (.metadata // []) | map({key, value: (.value | tonumber? // .)}) | from_entries;
def every(kind; cond): [.tracksInfo[] | select(.trackType == kind) | facts] as $t
  | ($t | length) > 0 and all($t[]; cond);
[ .duration > 0.1, .numberOfTracks <= 4, .bitrate < 50000000,
  (fmt.format_name | tostring | test("mp4|matroska|avi|mpegts|wav")), .toolProblem == "none",
  every("Audio"; [8000, 44100, 48000] | index([.sample_rate]) != null),
  every("Audio"; .channels >= 1),
  every("Audio"; .codec_name as $c | ["aac", "opus", "pcm_s16le", "flac"] | index([$c]) != null),
  every("Video"; (.width - 32 | fabs) <= 1), every("Video"; true), every("Video"; .pix_fmt == "yuv420p"),
  every("Video"; .field_order != null),
  ([.tracksInfo[] | select(.trackType == "Audio")] | length <= 2),
  all(.tracksInfo[]; .trackDuration == null or .trackDuration > 0),
  (.isValidMediaFile and (.hasErrors | not)), ((.fileSize // 0) < 10000000),
  every("Video"; .height * 4 == .width * 3),
  (any(.tracksInfo[]; .trackType == "Video") or .numberOfAudioTracks > 0),
  every("Audio"; (.bit_rate // 0) < 320000), (.metadata | length > 3) ]
| {path, passed: all(.[]; .)}
JQ

echo "check-bench: probing $count files into the cache" >&2
"$cli" --jsonl --no-progress --files-from list.txt > records.jsonl || true

echo "load: $(uptime | sed 's/.*load average: //')"
cpu() { /usr/bin/time -f "%e s wall, %U+%S s CPU" "$@" > /dev/null 2> time.txt || true; tail -1 time.txt; }
echo "vellinor-cli check, $count cached files, 20 rules: $(cpu "$cli" check --no-progress --policy policy.toml --files-from list.txt)"
echo "jq 1.6 over the same records, rules only:     $(cpu jq -c -f rules.jq records.jsonl)"
hyperfine --style basic --warmup 1 --runs 5 -i \
    "$cli check --no-progress --policy policy.toml --files-from list.txt" \
    "jq -c -f rules.jq records.jsonl"
echo "load: $(uptime | sed 's/.*load average: //')"
