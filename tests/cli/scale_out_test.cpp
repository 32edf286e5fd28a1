// The README's scale-out recipe, run on this machine: GNU parallel splits a NUL-separated list
// of 200 files into blocks, hands each block to vellinor-cli --files-from - --jsonl on one of
// two "hosts" (both this machine), and every record must arrive exactly once.

#include <gtest/gtest.h>

#include <map>

#include "cli_media.h"
#include "cli_runner.h"
#include "json/json.h"
#include "platform/process.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

namespace fs = std::filesystem;

TEST(CliScaleOut, GnuParallelOverTwoHostsDeliversEveryRecordOnce)
{
    if (!fs::exists("/usr/bin/parallel"))
        GTEST_SKIP() << "GNU parallel is not installed (scripts/setup-deps installs it)";
    TempDir dir;
    const auto& media = cliMedia();
    std::map<std::string, int> arrived;
    for (int i = 0; i < 200; ++i) {
        const fs::path name = dir / ("clip " + std::to_string(i) + ".m4a");
        fs::create_hard_link(media.audio, name);
        arrived[name.string()] = 0;
    }

    // The recipe as the README gives it, with ":" (this machine) for each host's name.
    const std::string recipe =
        "find \"$1\" -type f -print0 | parallel --will-cite --pipe --recend '\\0' -N 25 "
        "--sshlogin 1/:,1/: \"$2\" -0 --files-from - --jsonl";
    platform::ProcessOptions options;
    options.timeout = std::chrono::minutes(5);
    const auto run = platform::runProcess(
        "/bin/sh", {"-c", recipe, "recipe", dir.path().string(), cliPath()}, options);
    ASSERT_EQ(run.outcome, platform::ProcessResult::Outcome::exited);
    EXPECT_EQ(run.exitCode, 0);

    std::size_t start = 0;
    std::size_t lines = 0;
    for (std::size_t end; (end = run.standardOutput.find('\n', start)) != std::string::npos;
         start = end + 1) {
        ++lines;
        const auto record = JSON::parse(run.standardOutput.substr(start, end - start));
        ASSERT_TRUE(record.hasValue()) << "line " << lines << " is not one JSON record";
        const std::string path = (*record)["path"].stringValue();
        ASSERT_EQ(arrived.count(path), 1u) << path;
        ++arrived[path];
        EXPECT_EQ((*record)["isValidMediaFile"], JSON(true)) << path;
    }
    EXPECT_EQ(start, run.standardOutput.size()) << "the output ends with a whole line";
    EXPECT_EQ(lines, 200u);
    for (const auto& [path, count] : arrived)
        EXPECT_EQ(count, 1) << path;
}

}  // namespace
}  // namespace vellinor::test
