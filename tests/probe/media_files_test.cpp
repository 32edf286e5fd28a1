// Which files of a folder count as media, and the walk that finds them.

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe/media_files.h"
#include "support/test_support.h"

namespace vellinor {
namespace {

namespace fs = std::filesystem;

TEST(MediaFiles, TellMediaByTheExtensionOfTheFileName)
{
    struct Case {
        const char* path;
        bool media;
    };
    const Case cases[] = {
        {"clip.mkv", true},
        {"CLIP.MKV", true},
        {"a/b/song.flac", true},
        {"show.s01e01.ts", true},
        {"subs.srt", true},
        {"movie.M2TS", true},
        {"notes.txt", false},
        {"cover.jpg", false},
        {"archive.mkv.part", false},
        {"mkv", false},
        {".mkv", false},
        {"clip.", false},
        {"folder.mkv/readme", false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hasMediaExtension(c.path), c.media) << c.path;
}

class MediaFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"b.mkv", "a.mp4", "sub/deeper/z.MP3", "sub/c.webm", "notes.txt",
                                 "sub/cover.jpg", "sub/deeper/.hidden.mkv"})
            test::writeFile(root / name, "x");
        fs::create_directories(root / "empty");
        // A link back up must not make the walk loop; a link to a file counts as the file.
        fs::create_directory_symlink(root.path(), root / "sub" / "loop");
        fs::create_symlink(root / "a.mp4", root / "sub" / "linked.mov");
        fs::create_symlink(root / "gone.mkv", root / "dangling.mkv");
    }

    std::string at(const std::string& name) const { return (root / name).string(); }

    test::TempDir root;
};

TEST_F(MediaFolder, FindsEveryMediaFileAtAnyDepthSortedAndCountsTheRest)
{
    const FolderMedia found = mediaFilesUnder(root.path().string());
    EXPECT_EQ(found.mediaFiles,
              (std::vector<std::string>{at("a.mp4"), at("b.mkv"), at("sub/c.webm"),
                                        at("sub/deeper/.hidden.mkv"), at("sub/deeper/z.MP3"),
                                        at("sub/linked.mov")}));
    EXPECT_EQ(found.skippedFiles, 2U);  // notes.txt, cover.jpg; the dangling link is no file
    EXPECT_TRUE(found.unreadable.empty());
    EXPECT_FALSE(found.cancelled);
}

TEST_F(MediaFolder, StopsWhenProgressSaysSoAndSaysWhyAFolderCannotBeRead)
{
    for (int i = 0; i < 600; ++i)
        test::writeFile(root / "many" / (std::to_string(i) + ".wav"), "");
    std::vector<std::size_t> reports;
    const FolderMedia stopped = mediaFilesUnder(root.path().string(), [&](std::size_t seen) {
        reports.push_back(seen);
        return false;
    });
    EXPECT_TRUE(stopped.cancelled);
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_LT(stopped.mediaFiles.size(), 600U);

    const FolderMedia missing = mediaFilesUnder(at("no such folder"));
    EXPECT_TRUE(missing.mediaFiles.empty());
    ASSERT_EQ(missing.unreadable.size(), 1U);
    EXPECT_NE(missing.unreadable.front().find("No such file"), std::string::npos);
}

}  // namespace
}  // namespace vellinor
