// The file rules both faces share: names from paths, report names, and the atomic write.

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/atomic_write.h"
#include "platform/file_names.h"
#include "probe/report_names.h"
#include "support/test_support.h"

namespace vellinor::platform {
namespace {

namespace fs = std::filesystem;

TEST(FileNames, NameExtensionAndReportName)
{
    struct Case {
        std::string path;
        std::string name;
        std::string extension;
        std::string reportBase;
    };
    const std::vector<Case> cases{
        {"clips/clip.final.MKV", "clip.final.MKV", "mkv", "clip.final"},
        {"/a/b/movie.mkv", "movie.mkv", "mkv", "movie"},
        {"archive.tar.gz", "archive.tar.gz", "gz", "archive.tar"},
        {"folder/", "folder", "", "folder"},
        {"/", "/", "", "/"},
        {"", "", "", ""},
        {".hidden", ".hidden", "", ".hidden"},
        {"name.", "name.", "", "name"},
        {"no extension", "no extension", "", "no extension"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(fileNameOfPath(c.path), c.name);
        EXPECT_EQ(lowerCasedExtension(c.path), c.extension);
        EXPECT_EQ(reportBaseName(fileNameOfPath(c.path)), c.reportBase);
    }
    EXPECT_EQ(withReportExtension("/r/clip.json"), "/r/clip.json");
    EXPECT_EQ(withReportExtension("/r/clip.JSON"), "/r/clip.JSON");
    EXPECT_EQ(withReportExtension("/r/clip.txt"), "/r/clip.txt.json");
    EXPECT_EQ(withReportExtension("json"), "json.json");
}

std::size_t entriesIn(const fs::path& folder)
{
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++entries;
    return entries;
}

TEST(AtomicWrite, ReplacesWholeKeepsPermissionsAndLeavesNothingBehindOnFailure)
{
    test::TempDir dir;
    const fs::path report = dir / "r.json";
    test::writeFile(report, std::string(50000, 'o'));
    ::chmod(report.c_str(), 0640);
    ASSERT_TRUE(writeFileAtomically(report.string(), "{}\n"));
    EXPECT_EQ(test::readFile(report), "{}\n");
    EXPECT_EQ(fs::status(report).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    struct Case {
        const char* what;
        fs::path target;
        std::string reasonStart;
    };
    fs::create_directory(dir / "taken.json");
    test::writeFile(dir / "taken.json/inside", "x");
    const std::vector<Case> cases{
        {"a folder where the name should go", dir / "taken.json",
         "cannot replace " + (dir / "taken.json").string() + ": "},
        {"a missing folder", dir / "missing/r.json",
         "cannot create a file in " + (dir / "missing").string() + ": "},
        {"a file on the way", dir / "r.json/x.json",
         "cannot create a file in " + report.string() + ": "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Status written = writeFileAtomically(c.target.string(), "{}");
        ASSERT_FALSE(written);
        EXPECT_EQ(written.error().rfind(c.reasonStart, 0), 0u) << written.error();
    }
    EXPECT_EQ(entriesIn(dir.path()), 2u) << "no temporary file stays";
    EXPECT_EQ(test::readFile(report), "{}\n");
}

}  // namespace
}  // namespace vellinor::platform
