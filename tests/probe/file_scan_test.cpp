// The deep scan run on media made with ffmpeg, held to what ffmpeg's own tools say about the
// same files: frame counts, stream hashes and loudness; and the scan's damage findings, spans,
// captions and cache.

#include "probe/file_scan.h"

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "support/scan_media.h"
#include "support/test_support.h"

namespace vellinor {
namespace {

using test::ScanMedia;

// Made once for the whole program: decoding is the slow part.
const ScanMedia& media()
{
    static test::TempDir* folder = new test::TempDir;
    static const ScanMedia made = test::makeScanMedia(folder->path());
    return made;
}

ScanResult scanned(const std::filesystem::path& file)
{
    FileScanner scanner(FileScannerOptions{{}, std::chrono::minutes(2), false});
    auto result = scanner.scan(file.string());
    EXPECT_TRUE(result) << file << ": " << result.error();
    return result ? *result : ScanResult{};
}

// The first stream of the kind; an empty one (and a failure) when there is none.
const StreamScanFacts& streamOf(const ScanResult& scan, const char* kind)
{
    for (const StreamScanFacts& stream : scan.streams)
        if (stream.kind == kind)
            return stream;
    ADD_FAILURE() << "no " << kind << " stream";
    static const StreamScanFacts none;
    return none;
}

bool near(double value, double expected, double tolerance = 0.05)
{
    return std::fabs(value - expected) <= tolerance;
}

struct ScanCase {
    const char* name;
    std::filesystem::path ScanMedia::*file;
    std::function<void(const std::filesystem::path&, const ScanResult&)> check;
};

class ScanOfMedia : public testing::TestWithParam<ScanCase> {};

TEST_P(ScanOfMedia, FindsWhatTheFileHolds)
{
    const std::filesystem::path& file = media().*GetParam().file;
    const ScanResult scan = scanned(file);
    GetParam().check(file, scan);
}

const ScanCase kCases[] = {
    {"clean", &ScanMedia::clean,
     [](const std::filesystem::path& file, const ScanResult& scan) {
         EXPECT_FALSE(scan.damaged());
         EXPECT_EQ(scan.decodeErrors(), 0);
         const StreamScanFacts& video = streamOf(scan, "video");
         EXPECT_EQ(video.frames, test::ffprobeFrameCount(file, 0));
         EXPECT_EQ(video.frameRateMode, "constant");
         const auto hashes = test::ffmpegStreamHashes(file);
         ASSERT_EQ(hashes.size(), scan.streams.size());
         for (std::size_t i = 0; i < hashes.size(); ++i)
             EXPECT_EQ(scan.streams[i].md5, hashes[i]) << "stream " << i;
         ASSERT_TRUE(scan.sha256 && scan.md5);
         EXPECT_EQ(scan.sha256->size(), 64U);
         EXPECT_EQ(scan.size, static_cast<std::int64_t>(std::filesystem::file_size(file)));
     }},
    {"truncated", &ScanMedia::truncated,
     [](const std::filesystem::path&, const ScanResult& scan) {
         EXPECT_TRUE(scan.truncated);
         EXPECT_TRUE(scan.damaged());
         ASSERT_TRUE(scan.truncation);
         EXPECT_NE(scanVerdictLines(scan).front().find("Truncated: "), std::string::npos);
     }},
    {"damaged", &ScanMedia::damaged,
     [](const std::filesystem::path&, const ScanResult& scan) {
         const StreamScanFacts& video = streamOf(scan, "video");
         EXPECT_GT(video.decodeErrors, 0);
         ASSERT_FALSE(video.firstErrors.empty());
         ASSERT_TRUE(video.firstErrors.front().time);
         // The first damage is 40,000 bytes in, past the first frames.
         EXPECT_GT(*video.firstErrors.front().time, 0.0);
         EXPECT_FALSE(video.firstErrors.front().message.empty());
         EXPECT_NE(scanVerdictLines(scan).front().find(" decode errors in video stream 0, first "
                                                       "at 00:00:0"),
                   std::string::npos)
             << scanVerdictLines(scan).front();
     }},
    {"variable", &ScanMedia::variable,
     [](const std::filesystem::path& file, const ScanResult& scan) {
         const StreamScanFacts& video = streamOf(scan, "video");
         EXPECT_EQ(video.frameRateMode, "variable");
         ASSERT_TRUE(video.frameDurationMin && video.frameDurationMax);
         EXPECT_TRUE(near(*video.frameDurationMin, 0.08, 0.002));
         EXPECT_TRUE(near(*video.frameDurationMax, 0.12, 0.002));
         EXPECT_EQ(video.frames, test::ffprobeFrameCount(file, 0));
     }},
    {"interlaced", &ScanMedia::interlaced,
     [](const std::filesystem::path&, const ScanResult& scan) {
         const StreamScanFacts& video = streamOf(scan, "video");
         ASSERT_TRUE(video.interlacing);
         EXPECT_GT(video.interlacing->topFieldFirst, 0);
         EXPECT_GT(video.interlacing->topFieldFirst,
                   video.interlacing->progressive + video.interlacing->bottomFieldFirst);
     }},
    {"sections", &ScanMedia::sections,
     [](const std::filesystem::path&, const ScanResult& scan) {
         const StreamScanFacts& video = streamOf(scan, "video");
         const StreamScanFacts& audio = streamOf(scan, "audio");
         ASSERT_EQ(video.black.size(), 2U);
         EXPECT_TRUE(near(video.black[0].start, 0.0) && near(video.black[0].end, 3.0));
         EXPECT_TRUE(near(video.black[1].start, 6.0) && near(video.black[1].end, 9.0));
         ASSERT_EQ(audio.silence.size(), 2U);
         EXPECT_TRUE(near(audio.silence[0].start, 0.0) && near(audio.silence[0].end, 3.0));
         EXPECT_TRUE(near(audio.silence[1].start, 6.0) && near(audio.silence[1].end, 9.0));
     }},
    {"tone", &ScanMedia::tone,
     [](const std::filesystem::path& file, const ScanResult& scan) {
         const StreamScanFacts& audio = streamOf(scan, "audio");
         ASSERT_TRUE(audio.loudness);
         const auto reference = test::ffmpegIntegratedLoudness(file);
         ASSERT_TRUE(reference);
         EXPECT_LE(std::fabs(audio.loudness->integrated - *reference), 0.1)
             << audio.loudness->integrated << " against " << *reference;
         ASSERT_TRUE(audio.loudness->truePeak);
         EXPECT_LT(*audio.loudness->truePeak, 0.0);
         EXPECT_EQ(audio.samples, 6 * 48000);
         EXPECT_EQ(audio.md5, test::ffmpegStreamHashes(file).at(0));
     }},
    {"captions", &ScanMedia::captions,
     [](const std::filesystem::path&, const ScanResult& scan) {
         const StreamScanFacts& video = streamOf(scan, "video");
         EXPECT_EQ(video.captions, (std::vector<std::string>{"CEA-608", "CEA-708"}));
         EXPECT_EQ(scanVerdictLines(scan), std::vector<std::string>{"No decode errors"});
     }},
};

INSTANTIATE_TEST_SUITE_P(Media, ScanOfMedia, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ScanCase>& tested) {
                             return std::string(tested.param.name);
                         });

TEST(FileScan, RemuxKeepsTheStreamHashAndReencodingChangesIt)
{
    const auto clean = scanned(media().clean);
    const auto remux = scanned(media().remux);
    const auto reencoded = scanned(media().reencoded);
    EXPECT_NE(clean.sha256, remux.sha256);
    EXPECT_EQ(streamOf(clean, "video").md5, streamOf(remux, "video").md5);
    EXPECT_NE(streamOf(clean, "video").md5, streamOf(reencoded, "video").md5);
}

TEST(FileScan, AnUnchangedFileIsAnsweredFromTheCacheAndAChangedOneIsScannedAgain)
{
    test::TempDir cache;
    ::setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
    test::TempDir dir;
    const auto file = dir / "tone.wav";
    std::filesystem::copy_file(media().tone, file);

    FileScanner first;
    auto fresh = first.scan(file.string());
    ASSERT_TRUE(fresh) << fresh.error();
    EXPECT_EQ(first.scansRun(), 1U);

    FileScanner second;
    auto kept = second.scan(file.string());
    ASSERT_TRUE(kept) << kept.error();
    EXPECT_EQ(second.scansRun(), 0U);
    EXPECT_EQ(*kept, *fresh);

    std::filesystem::copy_file(media().sections, file,
                               std::filesystem::copy_options::overwrite_existing);
    auto changed = second.scan(file.string());
    ASSERT_TRUE(changed) << changed.error();
    EXPECT_EQ(second.scansRun(), 1U);
    EXPECT_NE(changed->sha256, fresh->sha256);
    ::unsetenv("XDG_CACHE_HOME");
}

TEST(FileScan, ProgressRunsToTheEndAndCancellingStopsTheScan)
{
    FileScanner scanner(FileScannerOptions{{}, std::chrono::minutes(2), false});
    double last = 0.0;
    auto done = scanner.scan(media().sections.string(), [&last](double fraction) {
        last = fraction;
        return true;
    });
    ASSERT_TRUE(done) << done.error();
    EXPECT_EQ(last, 1.0);
    auto cancelled = scanner.scan(media().sections.string(), [](double) { return false; });
    ASSERT_FALSE(cancelled);
    EXPECT_EQ(cancelled.kind(), ErrorKind::cancelled) << cancelled.error();
}

TEST(FileScan, WhatIsNotAMediaFileIsRefusedWithAReason)
{
    test::TempDir dir;
    const auto text = dir / "notes.txt";
    test::writeFile(text, "not media at all\n");
    FileScanner scanner(FileScannerOptions{{}, std::chrono::minutes(1), false});
    for (const auto& path : {text, dir / "missing.mkv", dir.path()}) {
        auto result = scanner.scan(path.string());
        EXPECT_FALSE(result) << path;
        if (!result) {
            EXPECT_FALSE(result.error().empty());
        }
    }
}

}  // namespace
}  // namespace vellinor
