// Writing files whole: replacing a file keeps no privilege bits and follows no link, names of
// any length that fit the file system work, and two writers at once into one folder never
// land on one name.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/atomic_write.h"
#include "probe/attachment_extraction.h"
#include "probe/embedded_artwork.h"
#include "support/test_support.h"

namespace vellinor::platform {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

mode_t modeOf(const fs::path& path)
{
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode;
}

std::size_t entryCount(const fs::path& folder)
{
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

TEST(WriteFileAtomically, ReplacesWithoutPrivilegeBitsAndWithoutFollowingLinks)
{
    struct Case {
        const char* name;
        mode_t oldMode;   // of the file replaced, or of the link's target
        bool link;        // the name is a link to that file
        mode_t expected;  // of the new file
    };
    const Case cases[] = {
        {"a private file keeps its bits", 0600, false, 0600},
        {"setuid is dropped", 04755, false, 0755},
        {"setgid and sticky are dropped", 03775, false, 0775},
        {"a link to a setuid file is replaced by a file of our own", 04755, true, newFileMode()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path old = dir / "old.json";
        test::writeFile(old, "old");
        ASSERT_EQ(::chmod(old.c_str(), c.oldMode), 0);
        const fs::path target = c.link ? dir / "a.json" : old;
        if (c.link)
            fs::create_symlink(old, target);

        ASSERT_TRUE(writeFileAtomically(target.string(), "new").hasValue());
        EXPECT_TRUE(S_ISREG(modeOf(target)));
        EXPECT_EQ(modeOf(target) & 07777, c.expected);
        EXPECT_EQ(test::readFile(target), "new");
        if (c.link) {
            EXPECT_EQ(test::readFile(old), "old") << "written through the link";
            EXPECT_EQ(modeOf(old) & 07777, c.oldMode);
        }
        EXPECT_EQ(entryCount(dir.path()), c.link ? 2u : 1u) << "a temporary file was left";
    }
}

TEST(WriteFileAtomically, NamesAsLongAsTheFileSystemTakes)
{
    for (const std::size_t length : {200u, 237u, 238u, 255u}) {
        SCOPED_TRACE(length);
        TempDir dir;
        const fs::path target = dir / (std::string(length - 5, 'n') + ".json");
        const Status written = writeFileAtomically(target.string(), "{}\n");
        EXPECT_TRUE(written.hasValue()) << (written ? "" : written.error());
        EXPECT_EQ(test::readFile(target), "{}\n");

        auto again = writeNewFile(dir.path().string(), "{}\n", [&, n = 0]() mutable {
            return std::string(length - 2, 'm') + "-" + std::to_string(++n);
        });
        EXPECT_TRUE(again.hasValue()) << (again ? "" : again.error());
    }
}

// Two processes extract a different "Font.ttf" into one folder at the same moment, many times
// over: each round must leave both fonts, under two names.
TEST(EmbeddedFileWriter, TwoWritersAtOnceNeverReplaceEachOther)
{
    constexpr int kRounds = 30;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        TempDir dir;
        int start[2];
        ASSERT_EQ(::pipe(start), 0);
        std::vector<pid_t> writers;
        for (int writer = 0; writer < 2; ++writer) {
            const pid_t pid = ::fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                ::close(start[1]);
                char go = 0;
                (void)!::read(start[0], &go, 1);  // all start when the pipe closes
                EmbeddedFileWriter files(dir.path().string());
                EmbeddedFile font;
                font.name = "Font.ttf";
                font.bytes = std::string(256 * 1024, static_cast<char>('A' + writer));
                ::_exit(files.write(font, font.name).hasValue() ? 0 : 1);
            }
            writers.push_back(pid);
        }
        ::close(start[0]);
        ::close(start[1]);
        for (const pid_t pid : writers) {
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        std::set<std::string> contents;
        for (const std::string name : {"Font.ttf", "Font-2.ttf"})
            contents.insert(test::readFile(dir / name).substr(0, 1));
        EXPECT_EQ(contents, (std::set<std::string>{"A", "B"}));
        EXPECT_EQ(entryCount(dir.path()), 2u);
    }
}

}  // namespace
}  // namespace vellinor::platform
