// getFileSize and getFileSizeHuman against real files, folders, FIFOs and missing paths.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "format/utils.h"
#include "support/captured_diagnostics.h"
#include "support/test_support.h"

namespace vellinor {
namespace {

TEST(FileSize, RegularFiles)
{
    test::TempDir dir;
    const struct {
        std::size_t bytes;
        const char* human;
    } cases[] = {{0, "0 bytes"}, {1, "1 byte"}, {1500, "2 KB"}, {1234567, "1.2 MB"}};
    for (const auto& c : cases) {
        const auto path = (dir / ("file-" + std::to_string(c.bytes))).string();
        test::writeFile(path, std::string(c.bytes, 'x'));
        test::CapturedDiagnostics captured;
        EXPECT_EQ(Utils::getFileSize(path), c.bytes);
        EXPECT_EQ(Utils::getFileSizeHuman(path), c.human);
        EXPECT_TRUE(captured.lines().empty()) << captured.lines().front();
    }
}

TEST(FileSize, MissingPathPrintsOneMessagePerOperation)
{
    test::TempDir dir;
    const auto path = (dir / "no such file.mkv").string();
    const std::string message = "Failed to get file attributes for local path: " + path +
                                " with error: No such file or directory";
    test::CapturedDiagnostics captured;
    EXPECT_EQ(Utils::getFileSize(path), 0u);
    EXPECT_EQ(Utils::getFileSizeHuman(path), "Unknown File Size");
    EXPECT_EQ(captured.lines(), (std::vector<std::string>{message, message}));
}

TEST(FileSize, UnusablePaths)
{
    test::TempDir dir;
    test::writeFile(dir / "plain", "abc");
    const struct {
        std::string path;
        const char* reason;
    } cases[] = {
        {"", "No such file or directory"},
        {(dir / "plain" / "child").string(), "Not a directory"},
        {(dir / "plain").string() + std::string(1, '\0') + "tail", "Invalid argument"},
    };
    for (const auto& c : cases) {
        test::CapturedDiagnostics captured;
        EXPECT_EQ(Utils::getFileSize(c.path), 0u);
        EXPECT_EQ(Utils::getFileSizeHuman(c.path), "Unknown File Size");
        const std::string message =
            "Failed to get file attributes for local path: " + c.path + " with error: " + c.reason;
        EXPECT_EQ(captured.lines(), (std::vector<std::string>{message, message}));
    }
}

TEST(FileSize, SymbolicLinkReportsItsTarget)
{
    test::TempDir dir;
    test::writeFile(dir / "target", std::string(2048, 'x'));
    std::filesystem::create_symlink(dir / "target", dir / "link");
    std::filesystem::create_symlink(dir / "gone", dir / "dangling");
    EXPECT_EQ(Utils::getFileSize((dir / "link").string()), 2048u);

    test::CapturedDiagnostics captured;
    EXPECT_EQ(Utils::getFileSize((dir / "dangling").string()), 0u);
    ASSERT_EQ(captured.lines().size(), 1u);
}

TEST(FileSize, FolderFifoAndDeviceAreOnlyStated)
{
    test::TempDir dir;
    const auto fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    test::CapturedDiagnostics captured;
    // Opening a FIFO with no writer would block; reading its attributes must not. Should it
    // block, a writer is opened to free it, so the test fails instead of hanging.
    auto size = std::async(std::launch::async, [&] { return Utils::getFileSize(fifo.string()); });
    if (size.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        size.wait();
        ::close(writer);
        FAIL() << "getFileSize blocked on a FIFO";
    }
    EXPECT_EQ(size.get(), 0u);
    EXPECT_EQ(Utils::getFileSizeHuman(fifo.string()), "0 bytes");

    struct stat folder {};
    ASSERT_EQ(::stat(dir.path().c_str(), &folder), 0);
    EXPECT_EQ(Utils::getFileSize(dir.path().string()), static_cast<std::uint64_t>(folder.st_size));
    EXPECT_EQ(Utils::getFileSize("/dev/null"), 0u);
    EXPECT_EQ(Utils::getFileSizeHuman("/dev/null"), "0 bytes");
    EXPECT_TRUE(captured.lines().empty());
}

TEST(FileSize, SparseFileOfTwentyGigabytes)
{
    test::TempDir dir;
    const auto path = dir / "sparse.bin";
    test::writeFile(path, "");
    std::error_code error;
    std::filesystem::resize_file(path, 20'000'000'000ULL, error);
    if (error)
        GTEST_SKIP() << "the file system cannot hold a sparse 20 GB file: " << error.message();
    EXPECT_EQ(Utils::getFileSize(path.string()), 20'000'000'000ULL);
    EXPECT_EQ(Utils::getFileSizeHuman(path.string()), "20 GB");
}

}  // namespace
}  // namespace vellinor
