#include "support/test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

#include <gtest/gtest.h>

#include "platform/process.h"

namespace vellinor::test {
namespace {

// Every program a test starts (vellinor-cli, the window) keeps its probe cache in a folder of
// this test process, never in the user's own cache.
struct PrivateCacheFolder {
    PrivateCacheFolder()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vellinor-test-cache-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            return;
        folder = pattern;
        // Tests that run the program as another user share it too.
        ::chmod(folder.c_str(), 01777);
        ::setenv("XDG_CACHE_HOME", folder.c_str(), 1);
    }
    ~PrivateCacheFolder()
    {
        std::error_code ignored;
        if (!folder.empty())
            std::filesystem::remove_all(folder, ignored);
    }
    std::string folder;
};
const PrivateCacheFolder privateCacheFolder;

}  // namespace

TempDir::TempDir()
{
    std::random_device device;
    std::mt19937_64 generator(device());
    for (;;) {
        auto candidate = std::filesystem::temp_directory_path() /
                         ("vellinor-test-" + std::to_string(generator()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            m_path = candidate;
            return;
        }
    }
}

TempDir::~TempDir()
{
    std::error_code error;
    // Make everything writable again first, so tests that drop permissions clean up too.
    for (auto it = std::filesystem::recursive_directory_iterator(
             m_path, std::filesystem::directory_options::skip_permission_denied, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
    }
    std::filesystem::remove_all(m_path, error);
}

void writeFile(const std::filesystem::path& path, const std::string& content)
{
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    ASSERT_TRUE(out.good()) << "could not write " << path;
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

void writeScript(const std::filesystem::path& path, const std::string& body)
{
    writeFile(path, "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::group_exec);
}

bool runFfmpeg(const std::vector<std::string>& arguments)
{
    std::vector<std::string> all{"-y", "-v", "error", "-nostdin"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    platform::ProcessOptions options;
    options.timeout = std::chrono::minutes(2);
    auto result = platform::runProcess(ffmpegPath(), all, options);
    bool ok = result.outcome == platform::ProcessResult::Outcome::exited && result.exitCode == 0;
    EXPECT_TRUE(ok) << "ffmpeg failed (exit " << result.exitCode << ") " << result.startError;
    return ok;
}

std::vector<std::filesystem::path> makeComparisonSet(const std::filesystem::path& folder)
{
    platform::ProcessOptions options;
    options.timeout = std::chrono::minutes(2);
    const auto result =
        platform::runProcess(std::string(VELLINOR_TEST_SOURCE_DIR) + "/../scripts/make-compare-set",
                             {folder.string()}, options);
    EXPECT_TRUE(result.outcome == platform::ProcessResult::Outcome::exited && result.exitCode == 0)
        << "scripts/make-compare-set failed " << result.startError;
    std::vector<std::filesystem::path> files;
    for (const char* name : {"episode-25fps-eng.mkv", "episode-25fps-fre.mkv",
                             "episode-30fps-eng.mkv", "episode-30fps-fre.mkv"})
        files.push_back(folder / name);
    return files;
}

std::string ffmpegPath()
{
    return VELLINOR_FFMPEG;
}
std::string ffprobePath()
{
    return VELLINOR_FFPROBE;
}

}  // namespace vellinor::test
