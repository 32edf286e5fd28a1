// Batches through the built program: export naming and atomicity, folder walks, threads,
// exit statuses, problems on standard error, awkward names.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "cli_media.h"
#include "cli_runner.h"
#include "json/json.h"
#include "probe/file_probe.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

namespace fs = std::filesystem;

std::set<std::string> namesIn(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

std::string documentOf(const fs::path& path)
{
    ProbeOptions options;
    options.toolPath = ffprobePath();
    FileProbe probe(path.string(), options);
    return probe.json ? probe.json->rawString().value_or("") + "\n" : "";
}

std::vector<std::string> recordPaths(const std::string& out)
{
    std::vector<std::string> paths;
    auto records = JSON::parse(out);
    EXPECT_TRUE(records.hasValue()) << out;
    if (records) {
        for (const auto& [index, record] : *records)
            paths.push_back(record["path"].stringValue());
    }
    return paths;
}

TEST(CliExport, NamesSiblingsApartAndReplacesOldReportsWhole)
{
    TempDir dir;
    const auto& media = cliMedia();
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    fs::copy_file(media.audio, dir / "a/clip.mkv");
    fs::copy_file(media.demo, dir / "b/clip.mkv");
    fs::copy_file(media.sideData, dir / "b/clip.final.mp4");
    writeFile(dir / "out/clip.json", std::string(100000, 'x'));  // left by an earlier run

    const auto run = runCli({"--export", (dir / "out").string(), (dir / "a/clip.mkv").string(),
                             (dir / "b/clip.mkv").string(), media.empty.string(),
                             (dir / "b/clip.final.mp4").string()});
    EXPECT_EQ(run.exitStatus, 1) << "the empty file has no document";
    EXPECT_EQ(run.out, "") << "--export alone prints no report";
    EXPECT_EQ(run.err, "vellinor-cli: " + media.empty.string() + ": empty file\n");

    // No temporary file is left, and the empty file wrote nothing.
    EXPECT_EQ(namesIn(dir / "out"),
              (std::set<std::string>{"clip.json", "clip-2.json", "clip.final.json"}));
    EXPECT_EQ(readFile(dir / "out/clip.json"), documentOf(dir / "a/clip.mkv"));
    EXPECT_EQ(readFile(dir / "out/clip-2.json"), documentOf(dir / "b/clip.mkv"));
    EXPECT_EQ(readFile(dir / "out/clip.final.json"), documentOf(dir / "b/clip.final.mp4"));
}

TEST(CliExport, MakesTheFolderAndCanPrintRecordsToo)
{
    TempDir dir;
    const auto& media = cliMedia();
    const auto run =
        runCli({"--record", "--export", (dir / "new/deeper").string(), media.audio.string()});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(recordPaths(run.out), std::vector<std::string>{media.audio.string()});
    EXPECT_EQ(readFile(dir / "new/deeper/audio.json"), documentOf(media.audio));

    writeFile(dir / "plain", "not a folder");
    const auto blocked = runCli({"--export", (dir / "plain").string(), media.audio.string()});
    EXPECT_EQ(blocked.exitStatus, 1);
    EXPECT_NE(blocked.err.find("vellinor-cli: " + (dir / "plain").string() + ": "),
              std::string::npos);
}

TEST(CliExport, AFailedWriteIsTheProblemOfTheRecordAsOnStandardError)
{
    struct Case {
        const char* option;
        std::function<std::string(const std::string& out)> problemIn;
    };
    const Case cases[] = {
        {"--record",
         [](const std::string& out) {
             auto records = JSON::parse(out);
             return records ? (*records)[0]["problem"].stringValue() : std::string("unparsable");
         }},
        {"--jsonl",
         [](const std::string& out) {
             auto record = JSON::parse(out);
             return record ? (*record)["problem"].stringValue() : std::string("unparsable");
         }},
        {"--csv",
         [](const std::string& out) {
             // The last column of the one row after the header.
             const std::string row = out.substr(out.find("\r\n") + 2);
             const std::string field = row.substr(row.rfind(',') + 1);
             return field.substr(0, field.size() - 2);
         }},
    };
    const auto& media = cliMedia();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option);
        TempDir dir;
        // The report's name is taken by a folder: the rename into place fails.
        fs::create_directories(dir / "out/audio.json/inside");
        const auto run =
            runCli({c.option, "--export", (dir / "out").string(), media.audio.string()});
        EXPECT_EQ(run.exitStatus, 1);
        const std::string problem =
            "cannot replace " + (dir / "out/audio.json").string() + ": Is a directory";
        EXPECT_EQ(run.err, "vellinor-cli: " + media.audio.string() + ": " + problem + "\n");
        EXPECT_EQ(c.problemIn(run.out), problem) << run.out;
    }
}

TEST(CliExport, ANameLongerThanTheFileSystemTakesIsCutToFit)
{
    TempDir dir;
    const auto& media = cliMedia();
    // 255 bytes: the longest name there is; with ".json" for ".m4a" it would be 256.
    const std::string stem(251, 's');
    fs::copy_file(media.audio, dir / (stem + ".m4a"));
    const auto run = runCli({"--export", (dir / "out").string(), (dir / (stem + ".m4a")).string()});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(namesIn(dir / "out"), (std::set<std::string>{stem.substr(1) + ".json"}));
}

TEST(CliBatch, WalksFoldersInByteOrderWithoutFollowingFolderLinks)
{
    TempDir dir;
    const auto& media = cliMedia();
    const fs::path root = dir / "media";
    for (const char* name : {"b.m4a", "B.m4a", "a/z.m4a", "a-b.m4a", "\xC3\xA4.m4a", "a/y/x.m4a"}) {
        fs::create_directories((root / name).parent_path());
        fs::copy_file(media.audio, root / name);
    }
    fs::create_directory_symlink(root, root / "a/loop");            // would loop if followed
    fs::create_symlink(root / "b.m4a", root / "link.m4a");          // a link to a file counts
    fs::create_symlink(root / "nowhere.m4a", root / "broken.m4a");  // nothing to probe

    const auto run = runCli({"--record", "-r", root.string()});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    const std::string r = root.string();
    EXPECT_EQ(
        recordPaths(run.out),
        (std::vector<std::string>{r + "/B.m4a", r + "/a-b.m4a", r + "/a/y/x.m4a", r + "/a/z.m4a",
                                  r + "/b.m4a", r + "/link.m4a", r + "/\xC3\xA4.m4a"}));
}

TEST(CliBatch, OutputIsTheSameWhateverTheNumberOfThreads)
{
    const auto& media = cliMedia();
    std::vector<std::string> files;
    for (int round = 0; round < 3; ++round) {
        for (const auto& path : {media.demo, media.notes, media.audio, media.sideData, media.empty})
            files.push_back(path.string());
    }
    for (const char* mode : {"--record", "--details", "--json"}) {
        SCOPED_TRACE(mode);
        std::vector<std::string> arguments{mode, "-j"};
        auto one = arguments, four = arguments;
        one.push_back("1");
        four.push_back("4");
        one.insert(one.end(), files.begin(), files.end());
        four.insert(four.end(), files.begin(), files.end());
        const auto sequential = runCli(one);
        const auto parallel = runCli(four);
        EXPECT_FALSE(sequential.out.empty());
        EXPECT_EQ(sequential.out, parallel.out);
        EXPECT_EQ(sequential.err, parallel.err);
        EXPECT_EQ(sequential.exitStatus, parallel.exitStatus);
    }
}

TEST(CliBatch, AMissingFileInTheMiddleIsReportedAndTheRestGoOn)
{
    const auto& media = cliMedia();
    const auto missing = (media.folder / "not-there.mkv").string();
    const auto run = runCli({"-j", "2", media.audio.string(), missing, media.demo.string()});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "vellinor-cli: " + missing + ": no such file\n");
    const auto alone = runCli({media.audio.string(), media.demo.string()});
    EXPECT_EQ(run.out, alone.out);
}

TEST(CliBatch, ExitStatusSaysWhatHappened)
{
    const auto& media = cliMedia();
    struct Case {
        std::vector<std::string> arguments;
        int status;
    };
    const std::vector<Case> cases{
        {{media.demo.string(), media.audio.string()}, 0},
        {{"--record", media.sideData.string()}, 0},
        {{media.notes.string()}, 1},
        {{media.garbage.string()}, 1},
        {{media.empty.string()}, 1},
        {{media.folder.string()}, 1},
        {{}, 2},
        {{"--no-such-option", media.demo.string()}, 2},
        {{"--record", "--json", media.demo.string()}, 2},
        {{"--details", "--record", media.demo.string()}, 2},
        {{"-j", "0", media.demo.string()}, 2},
        {{"--timeout", "-1", media.demo.string()}, 2},
        {{"--export", "", media.demo.string()}, 2},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const auto& argument : c.arguments)
            shown += argument + " ";
        const auto run = runCli(c.arguments);
        EXPECT_EQ(run.exitStatus, c.status) << shown << "\n" << run.err;
        if (c.status == 2) {
            EXPECT_EQ(run.out, "") << shown;
        }
    }
}

TEST(CliBatch, NamesThatLookLikeOptionsWorkAfterDoubleDash)
{
    TempDir dir;
    fs::copy_file(cliMedia().audio, dir / "-x.mkv");
    fs::copy_file(cliMedia().audio, dir / "odd: name 'q'.mkv");
    CliRunOptions here;
    here.workingDirectory = dir.path().string();
    const auto run = runCli({"--record", "--", "-x.mkv", "odd: name 'q'.mkv"}, here);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    const auto records = JSON::parse(run.out);
    ASSERT_TRUE(records);
    EXPECT_EQ((*records)[0]["path"], JSON("-x.mkv"));
    EXPECT_EQ((*records)[0]["isValidMediaFile"], JSON(true));
    EXPECT_EQ((*records)[1]["isValidMediaFile"], JSON(true));
    EXPECT_EQ(runCli({"-x.mkv"}, here).exitStatus, 2);
}

TEST(CliBatch, DiagnosticsAndToolProblemsGoToStandardError)
{
    const auto& media = cliMedia();
    // A probe tool that cannot start, and one that hangs past the time limit.
    TempDir broken;
    writeFile(broken / "sniffer", "not a program");
    TempDir slow;
    writeScript(slow / "sniffer", "exec sleep 30");

    CliRunOptions brokenTool;
    brokenTool.env["VELLINOR_RESOURCE_DIR"] = broken.path().string();
    const auto failed = runCli({"--record", media.audio.string()}, brokenTool);
    EXPECT_EQ(failed.exitStatus, 1);
    auto records = JSON::parse(failed.out);
    ASSERT_TRUE(records) << "standard output holds only the record: " << failed.out;
    const std::string why = (*records)[0]["problem"].stringValue();
    EXPECT_TRUE(why.starts_with("could not start the probe tool")) << why;
    EXPECT_NE(failed.err.find("vellinor-cli: " + media.audio.string() + ": " + why + "\n"),
              std::string::npos)
        << failed.err;

    CliRunOptions slowTool;
    slowTool.env["VELLINOR_RESOURCE_DIR"] = slow.path().string();
    const auto start = std::chrono::steady_clock::now();
    const auto timedOut = runCli({"--timeout", "0.5", media.audio.string()}, slowTool);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(timedOut.exitStatus, 1);
    EXPECT_TRUE(timedOut.out.starts_with("File Name: audio.m4a\n")) << timedOut.out;
    EXPECT_EQ(timedOut.err, "vellinor-cli: " + media.audio.string() +
                                ": the probe tool timed out after 500 ms\n");

    TempDir none;
    CliRunOptions noTool;
    noTool.env["VELLINOR_RESOURCE_DIR"] = none.path().string();
    const auto missingTool = runCli({media.audio.string()}, noTool);
    EXPECT_EQ(missingTool.exitStatus, 1);
    EXPECT_EQ(missingTool.out, "");
    EXPECT_NE(missingTool.err.find("sniffer"), std::string::npos);
}

TEST(CliBatch, HelpAndVersion)
{
    const auto version = runCli({"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out, std::string("vellinor-cli ") + VELLINOR_VERSION + "\n");
    const auto help = runCli({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    for (const char* word : {"--record", "--json", "--export", "--details", "-j", "--timeout"}) {
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    }
}

}  // namespace
}  // namespace vellinor::test
