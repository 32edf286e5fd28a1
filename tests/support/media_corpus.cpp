#include "support/media_corpus.h"

#include <gtest/gtest.h>

#include <string_view>

#include "platform/process.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

namespace fs = std::filesystem;
using Arguments = std::vector<std::string>;

// One output of an ffmpeg run: its file name and the options that come before it.
struct Output {
    std::string name;
    Arguments options;
};

// Tags that exercise the JSON writer: non-ASCII, quotes, line breaks, tabs, control bytes and
// byte sequences that are not UTF-8 (overlong, surrogate, U+FFFF, above U+10FFFF, five bytes
// long, cut short).
const std::string kUnicodeTitle = "Ünïcødé “title” 日本語 🎬";
const std::string kMultiLine = "first line\nsecond line\twith a tab\r\nthird \"quoted\" \\ line";
const std::string kInvalidUtf8 =
    "a\xff"
    "b\xc0\xaf"
    "c\xed\xa0\x80"
    "d\xef\xbf\xbf"
    "e\xf4\x90\x80\x80"
    "f\xf8\x88\x80\x80\x80"
    "g\xc3"
    "h\xe2\x82"
    "i";
const std::string kControlBytes = "bell\x07 escape\x1b delete\x7f slash/ end\x01";

const std::string kChapters = R"(;FFMETADATA1
title=Chaptered
artist=Ärtist

[CHAPTER]
TIMEBASE=1/1000
START=0
END=200
title=Chapter One

[CHAPTER]
TIMEBASE=1/1000
START=200
END=400
title=Zwei “zwei”
)";

const std::string kSubtitles =
    "1\n00:00:00,000 --> 00:00:00,300\nHello\n\n"
    "2\n00:00:00,300 --> 00:00:00,400\nWörld <i>italic</i>\n";

// Runs ffmpeg once over `inputs` to make every output: one start-up for many files.
void makeWithFfmpeg(const fs::path& folder, const Arguments& inputs,
                    const std::vector<Output>& outputs)
{
    Arguments arguments = inputs;
    for (const Output& output : outputs) {
        arguments.insert(arguments.end(), output.options.begin(), output.options.end());
        arguments.push_back((folder / output.name).string());
    }
    runFfmpeg(arguments);
}

void runMkvmerge(const Arguments& arguments)
{
    platform::ProcessOptions options;
    options.timeout = std::chrono::minutes(1);
    const auto result = platform::runProcess(mkvmergePath(), arguments, options);
    // mkvmerge exits 1 for warnings, which still give a good file.
    const bool ok = result.outcome == platform::ProcessResult::Outcome::exited &&
                    (result.exitCode == 0 || result.exitCode == 1);
    EXPECT_TRUE(ok) << "mkvmerge failed (exit " << result.exitCode << ") " << result.startError;
}

// Media made straight from generated sources.
void makeEncodedFiles(const fs::path& folder)
{
    const Arguments inputs{
        "-f", "lavfi",
        "-i", "testsrc=size=64x48:rate=10:duration=0.4",  // 0: video
        "-f", "lavfi",
        "-i", "sine=frequency=440:sample_rate=8000:duration=0.4",  // 1: audio
        "-i", (folder / "subtitles.srt").string(),                 // 2: text
        "-f", "lavfi",
        "-i", "testsrc=size=32x32:rate=1:duration=1",  // 3: a still
    };
    const Arguments videoAndAudio{"-map", "0:v", "-map", "1:a"};
    auto with = [](Arguments first, const Arguments& more) {
        first.insert(first.end(), more.begin(), more.end());
        return first;
    };
    const std::vector<Output> outputs{
        {"mp4-h264-aac.mp4",
         with(videoAndAudio,
              {"-c:v", "libx264", "-c:a", "aac", "-metadata", "title=" + kUnicodeTitle, "-metadata",
               "comment=" + kMultiLine, "-metadata:s:a:0", "language=nob"})},
        {"mov-mpeg4-pcm-timecode.mov",
         with(videoAndAudio, {"-c:v", "mpeg4", "-c:a", "pcm_s16le", "-timecode", "01:02:03:04"})},
        {"avi-mpeg4-mp3.avi",
         with(videoAndAudio, {"-c:v", "mpeg4", "-c:a", "libmp3lame", "-metadata", "title=AVI"})},
        {"flv.flv", with(videoAndAudio, {"-c:v", "flv", "-c:a", "libmp3lame", "-ar", "22050"})},
        {"mpeg-ps.mpg", with(videoAndAudio, {"-c:v", "mpeg2video", "-c:a", "mp2", "-f", "vob"})},
        {"webm-vp8-opus.webm",
         with(videoAndAudio, {"-c:v", "libvpx", "-deadline", "realtime", "-c:a", "libopus"})},
        {"ogv-theora-vorbis.ogv", with(videoAndAudio, {"-c:v", "libtheora", "-c:a", "libvorbis"})},
        {"asf-wmv2-wma.asf", with(videoAndAudio, {"-c:v", "wmv2", "-c:a", "wmav2"})},
        {"3gp-h263-aac.3gp", with(videoAndAudio, {"-s", "128x96", "-c:v", "h263", "-c:a", "aac"})},
        {"mxf-mpeg2-pcm.mxf", with(videoAndAudio, {"-r", "25", "-c:v", "mpeg2video", "-c:a",
                                                   "pcm_s16le", "-ar", "48000"})},
        {"nut-ffv1-pcm.nut", with(videoAndAudio, {"-c:v", "ffv1", "-c:a", "pcm_s16le"})},
        {"hevc-hdr-colours.mp4",
         {"-map", "0:v", "-c:v", "libx265", "-x265-params", "log-level=none", "-tag:v", "hvc1",
          "-pix_fmt", "yuv420p10le", "-color_primaries", "bt2020", "-color_trc", "smpte2084",
          "-colorspace", "bt2020nc", "-color_range", "tv"}},
        {"mkv-h264-aac-srt.mkv",
         with(videoAndAudio, {"-map", "2", "-c:v", "libx264", "-c:a", "aac", "-c:s", "srt",
                              "-metadata:s:a", "language=fra", "-metadata:s:s", "language=deu"})},
        {"mpegts-two-programs.ts",
         {"-map", "0:v", "-map", "1:a", "-map", "0:v", "-map", "1:a", "-c:v", "mpeg2video", "-c:a",
          "mp2", "-program", "title=One:st=0:st=1", "-program", "title=Two:st=2:st=3"}},
        {"ac3-service-type.mp4",
         {"-map", "1:a", "-ac", "2", "-c:a", "ac3", "-audio_service_type", "vi"}},
        {"m4a-aac-cover.m4a",
         {"-map", "1:a", "-map", "3:v", "-c:a", "aac", "-c:v", "mjpeg", "-disposition:v",
          "attached_pic", "-metadata", "artist=Ärtist", "-metadata", "album=Album"}},
        {"mp3-id3-picture.mp3",
         {"-map", "1:a", "-map", "3:v", "-c:a", "libmp3lame", "-c:v", "png", "-id3v2_version", "3",
          "-metadata:s:v", "title=Album cover", "-metadata:s:v", "comment=Cover (front)",
          "-metadata", "artist=Ärtist", "-metadata", "title=" + kUnicodeTitle}},
        {"opus.opus", {"-map", "1:a", "-c:a", "libopus"}},
        {"ogg-vorbis.ogg",
         {"-map", "1:a", "-c:a", "libvorbis", "-metadata", "lyrics=" + kMultiLine}},
        {"flac-replaygain.flac",
         {"-map", "1:a", "-c:a", "flac", "-metadata", "REPLAYGAIN_TRACK_GAIN=-3.50 dB", "-metadata",
          "REPLAYGAIN_TRACK_PEAK=0.9"}},
        {"wav-pcm.wav", {"-map", "1:a", "-c:a", "pcm_s16le"}},
        {"aiff-pcm.aiff", {"-map", "1:a", "-c:a", "pcm_s16be"}},
        {"ac3.ac3", {"-map", "1:a", "-c:a", "ac3"}},
        {"animated.gif", {"-map", "0:v"}},
        {"still.png", {"-map", "3:v", "-frames:v", "1"}},
        {"still.jpg", {"-map", "3:v", "-frames:v", "1"}},
        {"subtitles.ass", {"-map", "2"}},
        {"subtitles.vtt", {"-map", "2"}},
        {"invalid-utf8-tags.mkv",
         {"-map", "0:v", "-c:v", "mpeg4", "-metadata", "title=" + kInvalidUtf8, "-metadata",
          "comment=" + kControlBytes, "-metadata", "k\xfey=value"}},
        {"invalid-utf8-tags.m4a",
         {"-map", "1:a", "-c:a", "aac", "-metadata", "title=" + kInvalidUtf8, "-metadata",
          "comment=" + kControlBytes}},
    };
    makeWithFfmpeg(folder, inputs, outputs);
}

// Media remuxed from the encoded files: chapters, cover art, rotation.
void makeRemuxedFiles(const fs::path& folder)
{
    const Arguments inputs{"-i", (folder / "mp4-h264-aac.mp4").string(),
                           "-i", (folder / "chapters.ffmeta").string(),
                           "-i", (folder / "still.png").string()};
    const std::vector<Output> outputs{
        {"m4v-chapters-cover.m4v",
         {"-map", "0", "-map", "2", "-map_metadata", "1", "-map_chapters", "1", "-c", "copy",
          "-disposition:v:1", "attached_pic"}},
        {"mkv-chapters.mkv", {"-map", "0", "-map_chapters", "1", "-c", "copy"}},
        {"rotated-90.mp4",
         {"-map", "0", "-map_chapters", "-1", "-c", "copy", "-metadata:s:v:0", "rotate=90"}},
        {"rotated-odd-angle.mov",
         {"-map", "0", "-map_chapters", "-1", "-c", "copy", "-metadata:s:v:0", "rotate=33.7"}},
    };
    makeWithFfmpeg(folder, inputs, outputs);
}

// Matroska that only mkvmerge writes: attachments, languages and flags, and the video side
// data of stereo 3D, HDR mastering and light levels, and spherical projections.
void makeMatroskaFiles(const fs::path& folder)
{
    const std::string source = (folder / "mkv-h264-aac-srt.mkv").string();
    auto out = [&](const char* name) { return (folder / name).string(); };
    runMkvmerge({"-q",
                 "-o",
                 out("mkv-attachments-languages.mkv"),
                 "--title",
                 kUnicodeTitle,
                 "--language",
                 "1:fra",
                 "--track-name",
                 "1:Français",
                 "--language",
                 "2:jpn",
                 "--default-track-flag",
                 "2:0",
                 "--forced-display-flag",
                 "2:1",
                 source,
                 "--language",
                 "0:deu",
                 (folder / "ogg-vorbis.ogg").string(),
                 "--attachment-description",
                 "The cover",
                 "--attachment-mime-type",
                 "image/png",
                 "--attach-file",
                 (folder / "still.png").string(),
                 "--attach-file",
                 (folder / "chapters.ffmeta").string()});
    runMkvmerge({"-q",
                 "-o",
                 out("mkv-hdr-stereo-spherical.mkv"),
                 "-A",
                 "-S",
                 "--stereo-mode",
                 "0:1",
                 "--max-content-light",
                 "0:1000",
                 "--max-frame-light",
                 "0:400",
                 "--chromaticity-coordinates",
                 "0:0.68,0.32,0.265,0.69,0.15,0.06",
                 "--white-colour-coordinates",
                 "0:0.3127,0.329",
                 "--max-luminance",
                 "0:1000",
                 "--min-luminance",
                 "0:0.005",
                 "--projection-type",
                 "0:1",
                 "--projection-pose-yaw",
                 "0:10",
                 "--projection-pose-pitch",
                 "0:-5",
                 "--projection-pose-roll",
                 "0:2.5",
                 source});
    runMkvmerge({"-q", "-o", out("mkv-cubemap.mkv"), "-A", "-S", "--projection-type", "0:2",
                 "--projection-private", "0:0000000000000000000000ff", "--projection-pose-roll",
                 "0:-1.5", source});
    runMkvmerge({"-q", "-o", out("mkv-tiled-inverted.mkv"), "-A", "-S", "--projection-type", "0:1",
                 "--projection-private", "0:0000000000000010000000200000003000000040",
                 "--max-luminance", "0:1000", "--min-luminance", "0:0.005", "--stereo-mode", "0:11",
                 source});
}

// Bitmap subtitles (DVD), which carry a picture size: a VobSub pair (the index names the size,
// the MPEG-PS file holds one 4x2 picture) and the same in Matroska.
void makeBitmapSubtitles(const fs::path& folder)
{
    writeFile(folder / "vobsub.idx",
              "# VobSub index file, v7\nsize: 720x480\norg: 0, 0\nscale: 100%, 100%\n"
              "alpha: 100%\nsmooth: OFF\nfadein/out: 0, 0\nalign: OFF at LEFT TOP\n"
              "time offset: 0\nforced subs: OFF\npalette: 000000, 828282, 828282, 828282, "
              "828282, 828282, 828282, ffffff, 828282, bababa, 828282, 828282, 828282, 828282, "
              "828282, 828282\nlangidx: 0\nid: en, index: 0\n"
              "timestamp: 00:00:00:000, filepos: 000000000\n");
    // A pack header, then one private-stream-1 packet for subtitle stream 0x20 holding the
    // picture's run-length lines and its display commands; padded to one 2048-byte sector.
    std::string sector(
        "\x00\x00\x01\xba\x44\x00\x04\x00\x04\x01\x01\x89\xc3\xf8"
        "\x00\x00\x01\xbd\x00\x27\x81\x80\x05\x21\x00\x01\x00\x01"
        "\x20\x00\x1e\x00\x06\x11\x11\x00\x00\x00\x06\x01\x03\x01\x23\x04\xff\xf0"
        "\x05\x00\x00\x03\x00\x00\x01\x06\x00\x04\x00\x05",
        58);
    sector.resize(2048, '\xff');
    writeFile(folder / "vobsub.sub", sector);
    runMkvmerge(
        {"-q", "-o", (folder / "mkv-vobsub.mkv").string(), (folder / "vobsub.idx").string()});
}

// Files broken on purpose, by editing the bytes of good ones.
void makeDamagedFiles(const fs::path& folder)
{
    const std::string mp4 = readFile(folder / "mp4-h264-aac.mp4");
    writeFile(folder / "truncated.mp4", mp4.substr(0, 3000));
    std::string corrupted = mp4;
    if (corrupted.size() > 48)
        corrupted.replace(40, 8, 8, '\xff');
    writeFile(folder / "corrupted.mp4", corrupted);

    const std::string mkv = readFile(folder / "mkv-attachments-languages.mkv");
    writeFile(folder / "truncated.mkv", mkv.substr(0, mkv.size() / 2));
    std::string ts = readFile(folder / "mpegts-two-programs.ts");
    if (ts.size() > 4096)
        ts.replace(ts.size() / 2, 2048, 2048, '\x5a');
    writeFile(folder / "corrupted-middle.ts", ts);

    // A WAVE format tag no codec knows: no codec name, no decoder.
    std::string wav = readFile(folder / "wav-pcm.wav");
    const size_t format = wav.find("fmt ");
    if (format != std::string::npos && format + 10 <= wav.size())
        wav.replace(format + 8, 2, "\x34\x12");
    writeFile(folder / "unknown-codec.wav", wav);

    // An AAC configuration of audio object type 0: the decoder will not open.
    std::string m4a = readFile(folder / "m4a-aac-cover.m4a");
    const size_t esds = m4a.find("esds");
    const size_t config = esds == std::string::npos ? esds : m4a.find("\x05\x80\x80\x80", esds);
    if (config != std::string::npos && config + 7 <= m4a.size())
        m4a.replace(config + 5, 2, std::string("\x00\x08", 2));
    writeFile(folder / "decoder-fails.m4a", m4a);

    // Headerless data named .raw: read as raw video without a pixel format, no decoder opens.
    std::string noise(20000, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 2654435761u) >> 13);
    writeFile(folder / "headerless.raw", noise);

    writeFile(folder / "text.txt", "Just some words, no media.\n");
    writeFile(folder / "empty.mkv", "");
}

}  // namespace

std::string mkvmergePath()
{
    return VELLINOR_MKVMERGE;
}

std::vector<CorpusFile> makeMediaCorpus(const fs::path& folder)
{
    writeFile(folder / "subtitles.srt", kSubtitles);
    writeFile(folder / "chapters.ffmeta", kChapters);
    makeEncodedFiles(folder);
    makeRemuxedFiles(folder);
    makeMatroskaFiles(folder);
    makeBitmapSubtitles(folder);
    makeDamagedFiles(folder);

    std::vector<CorpusFile> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files.push_back({entry.path().filename().string(), entry.path()});
    files.push_back({"missing.mp4", folder / "missing.mp4"});
    std::sort(files.begin(), files.end(),
              [](const CorpusFile& a, const CorpusFile& b) { return a.name < b.name; });
    return files;
}

}  // namespace vellinor::test
