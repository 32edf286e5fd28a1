// `vellinor-cli scan` through the built program: each output form on a clean file and a cut
// one, the exit status that tells damage apart, and records without a scan.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_media.h"
#include "cli_runner.h"
#include "json/json.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

namespace fs = std::filesystem;

TEST(CliScan, EachOutputTellsTheCleanFileFromTheCutOne)
{
    TempDir dir;
    const fs::path clean = cliMedia().demo;
    const fs::path whole = dir / "whole.mkv";
    ASSERT_TRUE(runFfmpeg(
        {"-f", "lavfi", "-i", "testsrc2=d=6:s=160x120:r=25", "-c:v", "libx264", whole.string()}));
    const fs::path cut = dir / "cut.mkv";
    const std::string bytes = readFile(whole);
    writeFile(cut, bytes.substr(0, bytes.size() / 2));
    CliRunOptions cacheAside;
    cacheAside.env["XDG_CACHE_HOME"] = (dir / "cache").string();

    struct Case {
        std::vector<std::string> arguments;
        int exitStatus;
        std::vector<std::string> inOut;
        std::string inErr;
    };
    const std::vector<Case> cases{
        {{"scan", clean.string()}, 0, {"No decode errors", "Content MD5: ", "File SHA-256: "}, ""},
        {{"scan", clean.string(), cut.string()},
         1,
         {"No decode errors", "cut.mkv\nTruncated: "},
         cut.string() + ": Truncated: "},
        {{"scan", "--csv", clean.string(), cut.string()},
         1,
         {"path,damaged,decode_errors,truncated,", ",no,0,no,", ",yes,"},
         "Truncated: "},
        {{"scan", "--jsonl", dir.path() / "missing.mkv"}, 1, {"\"scan\":null"}, "no such file"},
        {{"scan", cliMedia().garbage.string()}, 1, {}, "the scanner could not read the file: "},
        {{"scan"}, 2, {}, "PATH is required"},
        {{"scan", "--bitrate", clean.string()}, 2, {}, "--bitrate"},
    };
    for (const Case& c : cases) {
        const CliRun run = runCli(c.arguments, cacheAside);
        const std::string shown = c.arguments.size() > 1 ? c.arguments[1] : c.arguments[0];
        EXPECT_EQ(run.exitStatus, c.exitStatus) << shown << "\n" << run.err;
        for (const std::string& text : c.inOut)
            EXPECT_NE(run.out.find(text), std::string::npos) << shown << ": no " << text << " in\n"
                                                             << run.out;
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << shown << ": " << run.err;
    }
}

TEST(CliScan, JsonRecordsCarryTheProbeAndTheScanAndAProbeAloneHasNone)
{
    TempDir dir;
    CliRunOptions env;
    env.env["XDG_CACHE_HOME"] = (dir / "cache").string();
    const CliRun scanned = runCli({"scan", "--json", cliMedia().demo.string()}, env);
    ASSERT_EQ(scanned.exitStatus, 0) << scanned.err;
    auto records = JSON::parse(scanned.out);
    ASSERT_TRUE(records) << scanned.out;
    const JSON& record = (*records)[0];
    EXPECT_GT(record["numberOfTracks"].intValue(), 0);
    EXPECT_FALSE(record["scan"]["damaged"].boolValue());
    EXPECT_EQ(record["scan"]["sha256"].stringValue().size(), 64U);
    EXPECT_GT(record["scan"]["streams"].count(), 0U);

    const CliRun probed = runCli({"--record", cliMedia().demo.string()}, env);
    ASSERT_EQ(probed.exitStatus, 0) << probed.err;
    auto probeRecords = JSON::parse(probed.out);
    ASSERT_TRUE(probeRecords);
    EXPECT_TRUE((*probeRecords)[0]["scan"].exists());
    EXPECT_EQ((*probeRecords)[0]["scan"].type(), JSONType::null);
}

TEST(CliScan, DetailsShowTheScanKeptForTheUnchangedFile)
{
    TempDir dir;
    const fs::path file = dir / "clip.mkv";
    ASSERT_TRUE(runFfmpeg(
        {"-f", "lavfi", "-i", "testsrc2=d=2:s=160x120:r=25", "-c:v", "libx264", file.string()}));
    CliRunOptions env;
    env.env["XDG_CACHE_HOME"] = (dir / "cache").string();
    const std::string section = "\nScan\n  No decode errors";
    auto shown = [&](const std::vector<std::string>& arguments) {
        const CliRun run = runCli(arguments, env);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        return run.out.find(section) != std::string::npos;
    };
    EXPECT_FALSE(shown({"--details", file.string()})) << "shown before any scan";
    ASSERT_EQ(runCli({"scan", file.string()}, env).exitStatus, 0);

    struct Case {
        std::vector<std::string> arguments;
        bool scanShown;
    };
    const std::vector<Case> cases{
        {{"--details", file.string()}, true},
        {{file.string()}, false},
        {{"--details", "--no-cache", file.string()}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shown(c.arguments), c.scanShown) << c.arguments.front();

    // Another file at the same path: the kept scan is not its.
    ASSERT_TRUE(runFfmpeg({"-y", "-f", "lavfi", "-i", "testsrc2=d=3:s=160x120:r=25", "-c:v",
                           "libx264", file.string()}));
    EXPECT_FALSE(shown({"--details", file.string()})) << "shown for a changed file";
}

}  // namespace
}  // namespace vellinor::test
