// What the sniffer does with argument lists other than the probe command.

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "platform/process.h"

namespace vellinor {
namespace {

struct SnifferRun {
    int exitCode = -1;
    std::string output;  // standard output, or standard error when asked for
};

// Runs the sniffer through /bin/sh to see the stream runProcess does not collect.
SnifferRun runSniffer(const std::vector<std::string>& arguments, bool standardError)
{
    std::vector<std::string> all{
        "-c",
        standardError ? "exec \"$0\" \"$@\" 2>&1 >/dev/null" : "exec \"$0\" \"$@\" 2>/dev/null",
        VELLINOR_SNIFFER};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const auto result = platform::runProcess("/bin/sh", all);
    EXPECT_EQ(result.outcome, platform::ProcessResult::Outcome::exited);
    return {result.exitCode, result.standardOutput};
}

TEST(SnifferArguments, AnythingButTheProbeCommandIsAUsageError)
{
    const std::vector<std::vector<std::string>> cases{
        {},
        {"file.mp4"},
        {"-v", "quiet", "-print_format", "json", "-show_format", "-show_streams", "-show_chapters",
         "-show_error"},
        {"-v", "error", "-print_format", "json", "-show_format", "-show_streams", "-show_chapters",
         "-show_error", "file.mp4"},
        {"-v", "quiet", "-print_format", "json", "-show_streams", "-show_format", "-show_chapters",
         "-show_error", "file.mp4"},
        {"-v", "quiet", "-print_format", "json", "-show_format", "-show_streams", "-show_chapters",
         "-show_error", "file.mp4", "other.mp4"},
        {"--version", "extra"},
        {"-h"},
    };
    for (const auto& arguments : cases) {
        SCOPED_TRACE(arguments.size());
        const SnifferRun errors = runSniffer(arguments, true);
        EXPECT_EQ(errors.exitCode, 2);
        EXPECT_TRUE(errors.output.starts_with("usage: sniffer ")) << errors.output;
        EXPECT_EQ(std::count(errors.output.begin(), errors.output.end(), '\n'), 1);
        EXPECT_EQ(runSniffer(arguments, false).output, "");
    }
}

TEST(SnifferArguments, VersionNamesTheLibrariesAndTheBuild)
{
    for (const char* option : {"--version", "-version"}) {
        SCOPED_TRACE(option);
        const SnifferRun run = runSniffer({option}, false);
        EXPECT_EQ(run.exitCode, 0);
        static const std::regex identity(
            "sniffer [0-9.]+ libavformat [0-9]+\\.[0-9]+\\.[0-9]+ libavcodec [0-9.]+ "
            "libavutil [0-9.]+ build [0-9a-f]{16,}\n");
        EXPECT_TRUE(std::regex_match(run.output, identity)) << run.output;
    }
}

}  // namespace
}  // namespace vellinor
