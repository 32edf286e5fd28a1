#include "cli_media.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/process.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

struct MediaHolder {
    TempDir dir;
    CliMedia media;
};

void makeMedia(CliMedia& media)
{
    media.demo = media.folder / "vellinor-demo.m4v";
    platform::ProcessOptions options;
    options.timeout = std::chrono::minutes(2);
    auto run = platform::runProcess(std::string(VELLINOR_TEST_SOURCE_DIR) + "/../scripts/make-demo",
                                    {media.demo.string()}, options);
    ASSERT_EQ(run.outcome, platform::ProcessResult::Outcome::exited) << run.startError;
    ASSERT_EQ(run.exitCode, 0) << "scripts/make-demo failed";

    media.audio = media.folder / "audio.m4a";
    ASSERT_TRUE(runFfmpeg({"-f", "lavfi", "-i", "sine=frequency=330:duration=1", "-c:a", "aac",
                           "-metadata:s:a:0", "language=nob", media.audio.string()}));

    // MPEG-2 video in MP4 carries "CPB properties" side data: a nested array in the details.
    media.sideData = media.folder / "side-data.mp4";
    ASSERT_TRUE(runFfmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=1", "-c:v",
                           "mpeg2video", media.sideData.string()}));

    // SubRip text the tool reads as a subtitle stream; the extension still says "not media".
    media.notes = media.folder / "notes.txt";
    writeFile(media.notes,
              "1\n00:00:00,000 --> 00:00:01,000\nBuy bread\n\n"
              "2\n00:00:01,500 --> 00:00:02,000\nBuy milk\n");

    media.garbage = media.folder / "garbage.bin";
    std::string bytes;
    for (int i = 0; i < 4096; ++i)
        bytes.push_back(static_cast<char>((i * 7919 + 13) % 251));
    writeFile(media.garbage, bytes);

    media.empty = media.folder / "empty.mkv";
    writeFile(media.empty, "");
}

}  // namespace

const CliMedia& cliMedia()
{
    static std::unique_ptr<MediaHolder> holder;
    if (!holder) {
        holder = std::make_unique<MediaHolder>();
        holder->media.folder = holder->dir.path();
        makeMedia(holder->media);
    }
    return holder->media;
}

}  // namespace vellinor::test
