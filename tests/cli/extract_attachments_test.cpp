// --extract-attachments through the built program: exact bytes out, names that stay inside the
// folder whatever the attachments call themselves, and the exit statuses.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "cli_runner.h"
#include "support/attachment_media.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

namespace fs = std::filesystem;

struct MediaHolder {
    TempDir dir;
    AttachmentMedia media = makeAttachmentMedia(dir.path());
};

const AttachmentMedia& media()
{
    static const MediaHolder holder;
    return holder.media;
}

// Every entry of `folder` (links not followed) with its bytes; a link as "-> target".
std::map<std::string, std::string> contentsOf(const fs::path& folder)
{
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        contents[name] = entry.is_symlink() ? "-> " + fs::read_symlink(entry.path()).string()
                                            : readFile(entry.path());
    }
    return contents;
}

TEST(CliExtractAttachments, WritesEveryPictureAndAttachmentByteForByte)
{
    TempDir dir;
    const fs::path out = dir / "new/out";  // made with its parents
    const auto& m = media();
    const auto run = runCli({"--extract-attachments", out.string(), m.matroska.string(),
                             m.mp3.string(), m.m4a.string()});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto line = [&](const std::string& name) { return (out / name).string() + "\n"; };
    EXPECT_EQ(run.out, line("cover.jpg") + line("Font.ttf") + line("two-picture-1.jpg") +
                           line("two-picture-2.png") + line("cover-picture-1.png"));
    EXPECT_EQ(contentsOf(out), (std::map<std::string, std::string>{
                                   {"cover.jpg", m.redJpeg},
                                   {"Font.ttf", m.font},
                                   {"two-picture-1.jpg", m.redJpeg},
                                   {"two-picture-2.png", m.bluePng},
                                   {"cover-picture-1.png", m.bluePng},
                               }));
}

TEST(CliExtractAttachments, HostileNamesStayInsideTheFolderAndReplaceNothing)
{
    TempDir dir;
    const fs::path out = dir / "out";
    fs::create_directories(out);
    writeFile(dir / "victim", "outside");
    writeFile(out / "a_b", "was here first");
    fs::create_symlink(dir / "victim", out / "x");
    fs::create_symlink(dir / "victim", out / "_etc_x");
    const auto& m = media();

    // Twice, so the second run meets every name of the first.
    for (int runNumber = 1; runNumber <= 2; ++runNumber) {
        const auto run = runCli({"--extract-attachments", out.string(), m.hostile.string()});
        EXPECT_EQ(run.exitStatus, 0) << run.err;
    }

    EXPECT_EQ(readFile(dir / "victim"), "outside");
    EXPECT_EQ(fs::read_symlink(out / "x"), dir / "victim");
    EXPECT_EQ(readFile(out / "a_b"), "was here first");
    // Only the folder changed: nothing new beside it.
    std::set<std::string> besides;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        besides.insert(entry.path().filename().string());
    EXPECT_EQ(besides, (std::set<std::string>{"out", "victim"}));

    const auto contents = contentsOf(out);
    ASSERT_EQ(contents.size(), 3 + 2 * m.hostileNames.size());
    std::multiset<std::string> written;
    for (const auto& [name, bytes] : contents) {
        EXPECT_LE(name.size(), 200u) << name;
        EXPECT_NE(name.front(), '.') << name;
        for (const char c : name)
            EXPECT_GE(static_cast<unsigned char>(c), 0x20) << name;
        written.insert(bytes);
    }
    for (std::size_t i = 0; i < m.hostileNames.size(); ++i)
        EXPECT_EQ(written.count(AttachmentMedia::hostileBytes(i)), 2u) << m.hostileNames[i];
    for (const char* name : {"___x", "_etc_x-2", "a_b-2", "__", "_", "_hidden", "a_b_c_d",
                             "same.ttf", "same-2.ttf", "x-2", "x-3"})
        EXPECT_EQ(contents.count(name), 1u) << name;
}

TEST(CliExtractAttachments, StatusesAndProblems)
{
    TempDir dir;
    const auto& m = media();
    writeFile(dir / "notes.txt", "just text\n");
    writeFile(dir / "file", "");
    ASSERT_TRUE(
        runFfmpeg({"-f", "lavfi", "-i", "sine=d=1", "-c:a", "aac", (dir / "plain.m4a").string()}));
    const std::string out = (dir / "out").string();
    // Two pictures that unpack to 250 MB each: nothing written, each said, and a failed run.
    const std::string packed = (dir / "packed.mp3").string();
    writeCompressedPictureMp3(packed, 2, 250'000'000);
    const std::string lost = "vellinor-cli: " + packed +
                             ": an embedded item could not be read: it needs more memory than its "
                             "reader may take (Failed to alloc 250000013 bytes)\n";
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string err;
    };
    const std::vector<Case> cases{
        {{"--extract-attachments", out, (dir / "plain.m4a").string()}, 0, ""},
        {{"--extract-attachments", out, (dir / "missing.mkv").string()},
         1,
         "vellinor-cli: " + (dir / "missing.mkv").string() + ": no such file\n"},
        {{"--extract-attachments", out, dir.path().string()},
         1,
         "vellinor-cli: " + dir.path().string() + ": is a directory\n"},
        {{"--extract-attachments", (dir / "file").string(), m.mp3.string()},
         1,
         "vellinor-cli: " + (dir / "file").string() + ": not a directory\n"},
        {{"--extract-attachments", out, packed}, 1, lost + lost},
        {{"--extract-attachments", out, "--record", m.mp3.string()}, 2, ""},
        {{"--extract-attachments", out, "--export", out, m.mp3.string()}, 2, ""},
        {{"--extract-attachments", "", m.mp3.string()}, 2, ""},
    };
    for (const auto& c : cases) {
        const auto run = runCli(c.arguments);
        EXPECT_EQ(run.exitStatus, c.status) << c.arguments.back() << run.err;
        if (c.status != 2) {
            EXPECT_EQ(run.err, c.err);
        }
        EXPECT_EQ(run.out, "");
    }
}

}  // namespace
}  // namespace vellinor::test
