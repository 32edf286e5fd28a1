#!/usr/bin/env bash
# Side by side with MediaInfo: makes twenty small files of the kinds people bring (ffmpeg and
# mkvmerge, in a temporary folder) and, for each file and track, lists the fields `mediainfo`
# prints in its text output that `vellinor-cli --facts` does not show, with why where the
# reason is known (the table `why` below). A field counts as shown when a fact of the same
# track bears its name or one of the names it has here (the table `names`).
#
#   bench/facts_vs_mediainfo.sh    (VELLINOR_BUILD=build folder, default build/release;
#                                   KEEP=1 keeps the files and prints their folder)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${VELLINOR_BUILD:-build/release}")
cli=$build/bin/vellinor-cli
[ -x "$cli" ] || { echo "facts_vs_mediainfo: no $cli (build it first)" >&2; exit 1; }
command -v mediainfo >/dev/null || { echo "facts_vs_mediainfo: mediainfo is not installed" >&2; exit 1; }

work=$(mktemp -d)
if [ -n "${KEEP:-}" ]; then echo "facts_vs_mediainfo: files in $work" >&2; else trap 'rm -rf -- "$work"' EXIT; fi
cd "$work"
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
# The whole list is read (grep -q would stop early, and pipefail would take the SIGPIPE as "no").
has() { ffmpeg -hide_banner -encoders 2>/dev/null | grep " $1 " >/dev/null; }
pic=(-f lavfi -i testsrc2=size=320x240:rate=25)
tone=(-f lavfi -i sine=frequency=440:sample_rate=48000)

printf '1\n00:00:00,000 --> 00:00:01,000\nHello\n\n2\n00:00:01,000 --> 00:00:02,000\nWorld\n' >subs.srt
printf ';FFMETADATA1\ntitle=Chaptered\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\ntitle=Opening\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=2000\ntitle=End\n' >chapters.txt

ff "${pic[@]}" "${tone[@]}" -t 2 -c:v libx264 -c:a aac -metadata title="H.264 film" 01-h264-aac.mp4
ff "${pic[@]}" -t 2 -c:v libx265 -pix_fmt yuv420p10le -color_primaries bt2020 -color_trc smpte2084 \
    -colorspace bt2020nc -x265-params "log-level=error:hdr10=1:master-display=G(13250,34500)B(7500,3000)R(34000,16000)WP(15635,16450)L(10000000,1):max-cll=1000,400" \
    02-hevc-hdr10.mkv
ff "${pic[@]}" "${tone[@]}" -t 2 -c:v mpeg2video -b:v 2M -maxrate 4M -bufsize 2M -g 12 -bf 2 \
    -timecode 01:02:03:04 -c:a ac3 03-mpeg2.mpg
ff "${pic[@]}" "${tone[@]}" -t 2 -c:v mpeg2video -g 15 -c:a mp2 04-mpeg2.ts
ff "${tone[@]}" -t 2 -ac 2 -c:a ac3 -audio_service_type vi 05-audio.ac3
ff "${tone[@]}" -t 2 -ac 1 -c:a eac3 -audio_service_type co 06-audio.eac3
ff "${tone[@]}" -t 2 -c:a flac -metadata artist="Tone" -metadata title="A" 07-audio.flac
ff -f lavfi -i testsrc=size=200x200:rate=1 -frames:v 1 cover.png
ff "${tone[@]}" -i cover.png -t 2 -map 0 -map 1 -c:a libmp3lame -c:v png -disposition:v attached_pic \
    -id3v2_version 3 -metadata title="Song" 08-cover.mp3
ff "${tone[@]}" -t 2 -c:a libopus 09-opus.webm
ff "${pic[@]}" "${tone[@]}" -t 2 -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -c:a libopus 10-vp9.webm
if has libsvtav1; then
    ff "${pic[@]}" -t 1 -c:v libsvtav1 -preset 12 11-av1.mkv 2>/dev/null
elif has libaom-av1; then
    ff "${pic[@]}" -t 1 -c:v libaom-av1 -cpu-used 8 11-av1.mkv
fi
ff "${pic[@]}" "${tone[@]}" -t 1 -c:v prores_ks -profile:v 3 -c:a pcm_s24le 12-prores.mov
ff -f lavfi -i testsrc=size=720x576:rate=25 "${tone[@]}" -t 1 -pix_fmt yuv420p -c:v dvvideo -ac 2 -c:a pcm_s16le 13-pal.dv
ff "${pic[@]}" -t 2 -vf "setfield=tff" -flags +ilme+ildct -c:v mpeg2video -top 1 14-interlaced.ts
ff "${pic[@]}" -t 2 -vf "setpts='if(lt(N,25),N/25,1+(N-25)/12.5)/TB'" -fps_mode vfr -c:v libx264 15-vfr.mkv
ff "${pic[@]}" "${tone[@]}" -t 2 -c:v libx264 -c:a aac 16-plain.mp4
if command -v mkvmerge >/dev/null; then
    mkvmerge -q -o 16-subtitles-srt.mkv 16-plain.mp4 --language 0:eng subs.srt
else
    ff -i 16-plain.mp4 -i subs.srt -map 0 -map 1 -c copy 16-subtitles-srt.mkv
fi
ff -i subs.srt subs.ass
ff -i 16-plain.mp4 -i subs.ass -map 0 -map 1 -c copy -metadata:s:s:0 language=fre -disposition:s:0 forced 17-subtitles-ass.mkv
ff -i 16-plain.mp4 -i chapters.txt -map_metadata 1 -map_chapters 1 -c copy 18-chapters.mkv
ff "${pic[@]}" "${tone[@]}" -t 4 -c:v libx264 -c:a aac -c:s srt 19-whole.mkv
head -c "$(($(stat -c %s 19-whole.mkv) / 2))" 19-whole.mkv >19-truncated.mkv && rm 19-whole.mkv
ff "${tone[@]}" -t 2 -c:a pcm_s24le 20-audio.wav
rm -f 16-plain.mp4 cover.png subs.srt subs.ass chapters.txt

# MediaInfo's field names and the facts that show them (|-separated alternatives).
names=$(cat <<'NAMES'
General|Complete name|File Name
General|Format|Format
General|File size|File size
General|Duration|Duration
General|Overall bit rate|Overall bit rate
General|Movie name|title
General|Track name|title
General|Title|title
General|Performer|artist
General|Encoded date|creation_time
General|Writing application|Writing application|encoder
General|Writing library|Writing library|encoder
General|Unique ID|Unique ID
General|Codec ID|major_brand
General|Codec ID/Info|major_brand
General|Time code of first frame|Timecode|timecode
*|ID|ID
*|Format|Codec
*|Format profile|Profile
*|Format level|Level
*|Codec ID|Codec ID
*|Duration|Duration
*|Bit rate|Bit rate
*|Maximum bit rate|Maximum bit rate
*|Width|Width
*|Height|Height
*|Display aspect ratio|Display aspect ratio
*|Pixel aspect ratio|Pixel aspect ratio
*|Frame rate|Frame rate
*|Frame rate mode|Frame rate mode
*|Color space|Colour model
*|Chroma subsampling|Chroma subsampling
*|Bit depth|Bit depth
*|Scan type|Scan type
*|Scan order|Scan type
*|Bits/(Pixel*Frame)|Bits per pixel and frame
*|Stream size|Stream size
*|Writing library|Writing library|Encoder|encoder
*|Encoding settings|Encoding settings
*|Format settings, CABAC|CABAC
*|Format settings, Reference frames|Reference frames
*|Format settings, GOP|GOP structure
*|Format settings, Matrix|Quantisation matrix
*|Format settings, BVOP|B-frames
*|GOP, Open/Closed|GOP, open/closed
*|GOP, Open/Closed of first frame|GOP, open/closed of the first|GOP, open/closed
*|Time code of first frame|Time code of first frame|Timecode|timecode
*|Color range|Colour range
*|Color primaries|Colour primaries
*|Transfer characteristics|Transfer characteristics
*|Matrix coefficients|Matrix coefficients
*|HDR format|HDR format
*|Mastering display color primaries|Mastering display primaries
*|Mastering display luminance|Mastering display luminance
*|Maximum Content Light Level|MaxCLL
*|Maximum Frame-Average Light Level|MaxFALL
*|Channel(s)|Channels
*|Channel layout|Channel layout
*|Sampling rate|Sampling rate
*|Compression mode|Compression mode
*|Bit rate mode|Bit rate mode
*|Service kind|Service kind
*|Delay relative to video|Delay relative to video
*|Language|language
*|Title|title
*|Default|Default|Default track
*|Forced|Forced|Forced track
*|Rotation|Rotation
NAMES
)

# Why a field is not shown, where that is known.
why=$(cat <<'WHY'
General|Overall bit rate mode|MediaInfo's guess from its streams' modes; each track's mode is shown
General|Frame rate|the video track's frame rate, repeated for the file
General|Format version|Matroska's EBML DocTypeVersion: not in the probe document, not worth a reader
General|Format profile|the brand read as a profile (mp4 "Base Media"); the brands are shown as tags
General|Format settings|the container's flags as MediaInfo words them; not in the probe document
General|Count of elements|not in the probe document
General|Stream size|the container's overhead (file size less the tracks'); not in the probe document
General|IsTruncated|the verdict says "This file ends early" instead
General|FileExtension_Invalid|MediaInfo-internal check of the extension
General|Cover|the poster and the attachments show it
General|Cover type|the poster shows it
General|Cover MIME|the poster shows it
General|Album|shown as its tag (album)
General|Track name/Position|shown as its tag (track)
General|Recorded date|shown as its tag (date)
General|Comment|shown as its tag (comment)
*|Format/Info|MediaInfo's long name of the format; the codec's long name is shown in Codec
*|Commercial name|MediaInfo's marketing name (Dolby Digital); the codec is shown
General|Commercial name|MediaInfo's marketing name (Dolby Digital); the codec is shown
General|Format/Info|MediaInfo's long name of the format; the container's long name is shown in Format
*|Codec ID/Info|MediaInfo-internal description of the codec ID
*|Codec ID/Hint|MediaInfo-internal hint
Video|Format version|MPEG Video's version 1 or 2 is in the codec's name
*|Format settings|a summary of the settings fields, each shown on its own
*|Format settings, Endianness|the sample format shows it
*|Format settings, Sign|the sample format shows it
*|Format settings, Wrapping mode|not in the probe document; a container detail
*|Format settings, Picture structure|not in the probe document; the scan type is shown
*|Format settings, Mode extension|MP3 joint-stereo detail: only the frames hold it, not worth a reader
*|Muxing mode|MediaInfo's name of how the stream sits in the container (DVD-Video); not in the probe document
*|Frame rate (audio)|audio frames per second: not in the probe document
*|Samples per frame|not in the probe document
*|Original frame rate|not in the probe document
*|Dialog Normalization|AC-3 dialogue level: only the frames hold it, not worth a reader
*|compr|AC-3 compression gain: only the frames hold it, not worth a reader
*|dialnorm_Average|AC-3 statistics over all frames: a full read, not worth it
*|dialnorm_Minimum|AC-3 statistics over all frames: a full read, not worth it
*|dialnorm_Maximum|AC-3 statistics over all frames: a full read, not worth it
*|compr_Average|AC-3 statistics over all frames: a full read, not worth it
*|Time code source|where MediaInfo found the time code; the fact names its source
*|Standard|PAL/NTSC, MediaInfo's guess from the frame size and rate
*|Count of elements|subtitle events: the packet reader counts them only in a deep scan
*|Encoded date|shown as the tag creation_time
*|Tagged date|shown as the tag creation_time
*|Alternate group|MP4 alternate group: not in the probe document
*|Menus|MP4 chapter track reference: not in the probe document
*|Writing application|shown with the container's facts
*|Vendor|QuickTime vendor code: shown as the tag vendor_id
*|Source duration|duration before edit lists: not in the probe document
*|Source stream size|stream size before edit lists: not in the probe document
*|Delay|the start time is shown
*|Delay, origin|where MediaInfo found the delay
*|Duration_LastFrame|MediaInfo's own measure
*|Buffer size|the decoder buffer: shown in the CPB properties side data
*|Mastering display color primaries|shown as Mastering display primaries and white point
Video|Bit rate mode|the video's mode is unknown without reading every frame's size
*|Menu|the chapters are counted with the container's facts
*|Chapters|the chapters are counted with the container's facts
General|ID|the transport stream's ID: in ffprobe's programs section, which the nine arguments do not ask for
General|ErrorDetectionType|Matroska's CRC-32 elements: not in the probe document
General|Menu ID|the TS program number: in ffprobe's programs section, not asked for
*|Menu ID|the TS program number: in ffprobe's programs section, not asked for
Menu|ID|the TS program (service name, provider and type, its PIDs): in ffprobe's programs section, not asked for
Menu|Menu ID|the TS program (service name, provider and type, its PIDs): in ffprobe's programs section, not asked for
Menu|Format|the TS program (service name, provider and type, its PIDs): in ffprobe's programs section, not asked for
Menu|Duration|the TS program (service name, provider and type, its PIDs): in ffprobe's programs section, not asked for
Menu|List|the TS program (service name, provider and type, its PIDs): in ffprobe's programs section, not asked for
Menu|Service name|the TS program (service name, provider and type, its PIDs): in ffprobe's programs section, not asked for
Menu|Service provider|the TS program (service name, provider and type, its PIDs): in ffprobe's programs section, not asked for
Menu|Service type|the TS program (service name, provider and type, its PIDs): in ffprobe's programs section, not asked for
*|ID|the container's track number (Matroska TrackNumber, MP4 track ID): the document has an id only for MPEG-TS and PS
*|Codec ID|Matroska's CodecID text: the document gives codec_tag_string [0][0][0][0] for Matroska
*|Codec configuration box|the MP4 sample entry's configuration box name: not in the probe document
*|Format settings, picture structure|not in the probe document; the scan type is shown
Audio|Frame rate|audio frames per second (samples per frame): not in the probe document
Audio|Format version|MPEG audio's version and layer are in the codec's name (mp2, mp3)
Audio|Format profile|MPEG audio's version and layer are in the codec's name (mp2, mp3)
Audio|Bit rate mode|the document states no mode for this codec; MediaInfo infers it from the frames
Audio|Bit depth|Opus has no bit depth; MediaInfo prints the decoder's output depth
Audio|Writing library|the encoder's header in the first frame (LAME tag) or FLAC's vendor string: not in the probe document, a reader not built
Audio|MD5 of the unencoded content|FLAC's STREAMINFO MD5: not in the probe document, a reader not built
Audio|Bit rate|FLAC's bit rate needs a full packet read (the Bitrate window has it)
Audio|Stream size|needs a full packet read (the Bitrate window has it)
Audio|Source_Duration_LastFrame|MediaInfo's own measure
Video|Bit rate|no bit rate in the document (Matroska without statistics tags, TS): needs a full packet read (the Bitrate window has it)
Video|Stream size|needs a full packet read (the Bitrate window has it)
Video|Bits/(Pixel*Frame)|derived from the bit rate, which needs a full packet read
Video|Scan type|ffprobe prints field_order unknown for DV (its decoder sets it per frame): a first-frame read not built
Video|Scan order|ffprobe prints field_order unknown for DV (its decoder sets it per frame): a first-frame read not built
Video|Compression mode|not shown for DV: a gap left
Video|Time code of first frame|DV's time code is shown as the container's tag timecode
Text|Frame rate|subtitle events per second: MediaInfo's own measure
Text|Compression mode|not shown for ASS subtitles: a gap left
Image|Compression|the cover's PNG compression: the attachments list shows its type and size
Image|Stream size|the attachments list shows the cover's size
WHY
)

lower() { tr '[:upper:]' '[:lower:]'; }
# lookup KIND NAME all|first < TABLE: the row for the track's own kind, else the row for every
# kind ("*", never for General); prints all its alternatives, or the first.
lookup() {
    awk -F'|' -v k="$1" -v n="$2" -v want="$3" '
        $2 == n && $1 == k && !own { own = $0 }
        $2 == n && $1 == "*" && k != "General" && !any { any = $0 }
        END { row = own ? own : any; if (!row) exit; m = split(row, f, "|");
              for (i = 3; i <= m; i++) { print f[i]; if (want == "first") exit } }'
}
total_missing=0
all_missing=$work/all-missing.txt
: >"$all_missing"
for file in $(ls | grep -E '^[0-9]{2}-' | sort); do
    mediainfo "$file" >"$file.mi.txt"
    "$cli" --no-cache --facts "$file" >"$file.facts.txt" 2>/dev/null || true
    # Our facts by section: "General", "Video #1", "Audio #2", "Text #1" (MediaInfo's names).
    awk '
        /^Metadata/ { section = "General"; next }
        /^Track [0-9]+: / {
            kind = $3; sub(/ .*/, "", kind)
            if (kind == "Subtitle") kind = "Text"
            if (kind == "Poster") kind = "Image"
            count[kind]++; section = kind " #" count[kind]; next
        }
        /^    [^ ]/ && section != "" {
            line = substr($0, 5); split(line, parts, "  "); print section "\t" tolower(parts[1])
        }' "$file.facts.txt" >"$file.ours.txt"
    # MediaInfo's fields by section; "Audio" alone is "Audio #1".
    awk -F' : ' '
        /^[A-Za-z]/ && index($0, " : ") == 0 {
            section = $0; sub(/ +$/, "", section)
            if (section !~ / #[0-9]+$/ && section != "General") section = section " #1"
            next
        }
        index($0, " : ") > 0 && section != "" {
            name = $1; sub(/ +$/, "", name); value = substr($0, index($0, " : ") + 3)
            print section "\t" name "\t" value
        }' "$file.mi.txt" >"$file.theirs.txt"
    # Menu sections list chapters as "00:00:00.000 : Opening": one field, "Chapters".
    awk -F'\t' '$1 ~ /^Menu/ && $2 ~ /^[0-9][0-9]:/ { if (!seen[$1]++) print $1 "\tChapters\t(chapters)"; next } { print }' \
        "$file.theirs.txt" >"$file.theirs2.txt"
    missing=()
    while IFS=$'\t' read -r section name value; do
        kind=${section%% #*}
        if [ "${section%% #*}" = Menu ]; then
            candidates="Chapters"
            section_ours="General"
        else
            candidates=$(lookup "$kind" "$name" all <<<"$names")
            [ -n "$candidates" ] || candidates=$name
            section_ours=$section
        fi
        shown=""
        while read -r candidate; do
            [ -n "$candidate" ] || continue
            if [ "$candidate" = "File Name" ] || grep -qxF "$section_ours	$(lower <<<"$candidate")" "$file.ours.txt"; then
                shown=yes
                break
            fi
        done <<<"$candidates"
        [ -n "$shown" ] && continue
        # MediaInfo prints the flags it knows as Yes or No; a No is a flag left out here.
        if [ "$value" = No ] && { [ "$name" = Default ] || [ "$name" = Forced ]; }; then continue; fi
        reason=$(lookup "$kind" "$name" first <<<"$why")
        missing+=("  $section: $name ($value)${reason:+ -- $reason}")
        printf '%s\t%s\t%s\n' "${section%% #*}" "$name" "${reason:-?}" >>"$all_missing"
    done <"$file.theirs2.txt"
    echo "$file: ${#missing[@]} MediaInfo fields not shown"
    for line in "${missing[@]}"; do echo "$line"; done
    total_missing=$((total_missing + ${#missing[@]}))
done
echo
echo "Fields not shown, over all files (count, kind, field, why):"
sort "$all_missing" | uniq -c | sort -k2,2 -k1,1nr | sed 's/\t/ | /g'
echo "total: $total_missing"
