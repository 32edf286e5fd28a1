#!/usr/bin/env bash
# Makes 20 distinct small media files with ffmpeg in DIR/distinct (audio-only, video-only and
# muxed, one per common container) and hard-links them, in turn, under COUNT numbered names in
# DIR/files, so a large batch costs 20 encodes and no disk space.
#
#     bench/small_media.sh DIR COUNT
set -euo pipefail
dir="$1"
count="$2"
mkdir -p "$dir/distinct" "$dir/files"
cd "$dir"

ff() { ffmpeg -y -v error -nostdin "$@"; }
tone=(-f lavfi -i sine=frequency=440:sample_rate=8000:duration=0.5)
picture=(-f lavfi -i testsrc=size=32x24:rate=25:duration=0.2)
ff "${tone[@]}" -c:a pcm_s16le distinct/a.wav
ff "${tone[@]}" -c:a pcm_u8 distinct/b.wav
ff "${tone[@]}" -c:a libmp3lame -b:a 16k distinct/c.mp3
ff "${tone[@]}" -c:a flac distinct/d.flac
ff "${tone[@]}" -c:a libvorbis distinct/e.ogg
ff "${tone[@]}" -c:a libopus -b:a 12k distinct/f.opus
ff "${tone[@]}" -c:a aac -b:a 16k distinct/g.m4a
ff "${tone[@]}" -c:a ac3 -b:a 64k distinct/h.ac3
ff "${tone[@]}" -c:a libopus -b:a 12k -metadata:s:a:0 language=fre distinct/i.mka
ff "${picture[@]}" -c:v mpeg4 distinct/j.avi
ff "${picture[@]}" "${tone[@]}" -c:v libx264 -preset ultrafast -c:a aac -b:a 16k distinct/k.mp4
ff "${picture[@]}" "${tone[@]}" -c:v libvpx -deadline realtime -c:a libvorbis distinct/l.webm
ff "${picture[@]}" "${tone[@]}" -c:v mpeg2video -c:a mp2 distinct/m.ts
ff "${picture[@]}" "${tone[@]}" -c:v mjpeg -c:a pcm_s16le distinct/n.mov
ff "${picture[@]}" "${tone[@]}" -c:v libx264 -preset ultrafast -c:a libopus -b:a 12k \
    -metadata title="Small media" distinct/o.mkv
ff "${picture[@]}" -c:v libx264 -preset ultrafast -metadata media_type=9 distinct/p.m4v
ff "${picture[@]}" -c:v mpeg1video distinct/q.mpg
ff "${picture[@]}" -c:v flv1 distinct/r.flv
ff "${picture[@]}" -frames:v 1 distinct/s.png
ff "${tone[@]}" -c:a pcm_s16be distinct/t.aiff

distinct=(distinct/*)
for ((i = 0; i < count; i++)); do
    source="${distinct[i % ${#distinct[@]}]}"
    ln "$source" "$(printf 'files/%06d-%s' "$i" "$(basename "$source")")"
done
