// Streaming outputs and inputs of the built program: --jsonl, --csv, --files-from, progress.

#include <gtest/gtest.h>

#include <regex>

#include "cli_media.h"
#include "cli_runner.h"
#include "json/json.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> splitLines(const std::string& text, const std::string& end = "\n")
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(end, start)) != std::string::npos; start = at + end.size())
        lines.push_back(text.substr(start, at - start));
    EXPECT_EQ(start, text.size()) << "the last line has no line end";
    return lines;
}

JSON parsed(const std::string& text)
{
    auto value = JSON::parse(text);
    EXPECT_TRUE(value.hasValue()) << text;
    return value.valueOr(JSON());
}

std::vector<std::string> jsonLinePaths(const std::string& out)
{
    std::vector<std::string> paths;
    for (const std::string& line : splitLines(out))
        paths.push_back(parsed(line)["path"].stringValue());
    return paths;
}

TEST(CliStream, JsonLinesHoldTheRecordsOneALine)
{
    const auto& media = cliMedia();
    const std::vector<std::string> files{media.audio.string(), media.garbage.string(),
                                         (media.folder / "missing.mkv").string(),
                                         media.demo.string()};
    std::vector<std::string> arguments{"-j", "3"};
    arguments.insert(arguments.end(), files.begin(), files.end());

    auto recordArguments = arguments;
    recordArguments.insert(recordArguments.begin(), "--record");
    const auto records = runCli(recordArguments);
    arguments.insert(arguments.begin(), "--jsonl");
    const auto lines = runCli(arguments);

    EXPECT_EQ(lines.exitStatus, 1);
    EXPECT_EQ(lines.err, records.err);
    const JSON recordArray = parsed(records.out);
    const auto jsonLines = splitLines(lines.out);
    ASSERT_EQ(jsonLines.size(), files.size()) << lines.out;
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(jsonLines[i].find('\n'), std::string::npos);
        EXPECT_EQ(parsed(jsonLines[i]), recordArray[i]) << files[i];
    }
}

TEST(CliStream, CsvRowsHoldTheFactsPeopleSortOn)
{
    TempDir dir;
    const auto& media = cliMedia();
    const fs::path odd = dir / "quote \"and\", comma.m4a";
    fs::copy_file(media.audio, odd);

    const auto run = runCli({"--csv", odd.string(), media.garbage.string(),
                             (dir / "missing.mkv").string(), media.demo.string()});
    EXPECT_EQ(run.exitStatus, 1);
    const auto rows = splitLines(run.out, "\r\n");
    ASSERT_EQ(rows.size(), 5u) << run.out;
    EXPECT_EQ(rows[0],
              "path,size,duration,container,video_codec,resolution,frame_rate,"
              "audio_codecs,audio_languages,subtitle_languages,bit_rate,problem");

    const JSON audio = parsed(runCli({"--jsonl", media.audio.string()}).out);
    std::string expected = "\"";
    expected += dir.path().string();
    expected += "/quote \"\"and\"\", comma.m4a\",";
    expected += std::to_string(fs::file_size(odd));
    expected += ",";
    expected += audio["duration"].stringValue();
    expected += ",\"mov,mp4,m4a,3gp,3g2,mj2\",,,,aac,Norwegian Bokmål,,";
    expected += audio["bitrate"].stringValue();
    expected += ",";
    EXPECT_EQ(rows[1], expected);
    EXPECT_EQ(rows[2], media.garbage.string() + "," + std::to_string(fs::file_size(media.garbage)) +
                           ",,,,,,,,,,the probe tool could not read it: Invalid data found when "
                           "processing input");
    EXPECT_EQ(rows[3], (dir / "missing.mkv").string() + ",,,,,,,,,,,no such file");
    // The demo: one video track, two audio tracks and two subtitle tracks, each listed.
    EXPECT_TRUE(std::regex_match(
        rows[4], std::regex(".*,[0-9.]+,\"mov,mp4,m4a,3gp,3g2,mj2\",h264,[0-9]+x[0-9]+,[0-9.]+,"
                            "[a-z0-9]+;[a-z0-9]+,[^,]*;[^,]*,[^,]*;[^,]*,[0-9]+,")))
        << rows[4];
}

TEST(CliStream, FilesFromListsAndStandardInput)
{
    TempDir dir;
    TempDir listDir;
    const auto& media = cliMedia();
    const fs::path spaced = dir / "with space.m4a";
    const fs::path broken = dir / "line\nbreak.m4a";
    fs::copy_file(media.audio, spaced);
    fs::copy_file(media.audio, broken);
    const std::string a = media.audio.string();

    struct Case {
        std::string name;
        std::string list;
        std::vector<std::string> arguments;  // the list file's path is added after these
        bool fromStandardInput;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases{
        {"lines, an empty one skipped, after the arguments",
         spaced.string() + "\n\n" + a + "\n" + spaced.string(),
         {a, "--files-from"},
         false,
         {a, spaced.string(), a, spaced.string()}},
        {"NUL-separated on standard input, a name with a line break",
         broken.string() + std::string(1, '\0') + a + std::string(1, '\0'),
         {"-0", "--files-from", "-"},
         true,
         {broken.string(), a}},
        {"a folder in the list is walked with -r",
         dir.path().string() + "\n",
         {"-r", "--files-from"},
         false,
         {broken.string(), spaced.string()}},
    };
    for (const Case& c : cases) {
        const fs::path list = listDir / "list.txt";
        writeFile(list, c.list);
        auto arguments = c.arguments;
        arguments.insert(arguments.begin(), {"--jsonl", "-j", "2"});
        CliRunOptions options;
        if (c.fromStandardInput)
            options.standardInput = list.string();
        else
            arguments.push_back(list.string());
        const auto run = runCli(arguments, options);
        EXPECT_EQ(run.exitStatus, 0) << c.name << "\n" << run.err;
        EXPECT_EQ(jsonLinePaths(run.out), c.expected) << c.name;
        fs::remove(list);
    }

    const auto missing = runCli({"--jsonl", "--files-from", (dir / "nowhere").string()});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "vellinor-cli: " + (dir / "nowhere").string() + ": no such file\n");
    EXPECT_EQ(runCli({"--jsonl"}).exitStatus, 2) << "neither PATH nor --files-from";

    // A line no path can be (a binary file given as the list) ends the list at once, instead
    // of being read whole into memory.
    const fs::path binary = listDir / "binary";
    writeFile(binary, a + "\n" + std::string(8 << 20, 'x'));
    const auto refused = runCli({"--jsonl", "--files-from", binary.string()});
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_EQ(jsonLinePaths(refused.out), std::vector<std::string>{a});
    EXPECT_EQ(refused.err,
              "vellinor-cli: " + binary.string() +
                  ": an entry is longer than 4095 bytes, the longest path there can be\n");
}

TEST(CliStream, ProgressShowsOnATerminalWhenABatchTakesAWhile)
{
    // A tool slow enough that six files take well over the half second the line waits for.
    TempDir slow;
    writeScript(slow / "sniffer", "sleep 0.3\nexec '" + ffprobePath() + "' \"$@\"");
    CliRunOptions options;
    options.errorTerminal = true;
    options.env["VELLINOR_RESOURCE_DIR"] = slow.path().string();
    std::vector<std::string> arguments{"--no-cache", "--jsonl", "-j", "2"};
    for (int i = 0; i < 6; ++i)
        arguments.push_back(cliMedia().audio.string());
    const auto run = runCli(arguments, options);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.err.find("\r\033[Kvellinor-cli: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("/6 files, "), std::string::npos) << run.err;
    EXPECT_TRUE(run.err.ends_with("\r\033[K")) << "removed at the end: " << run.err;
}

TEST(CliStream, ProgressIsRedrawnAroundDiagnosticsAndRemovedAtTheEnd)
{
    const auto& media = cliMedia();
    std::vector<std::string> files;
    for (int i = 0; i < 3; ++i)
        files.push_back(media.audio.string());
    files.push_back((media.folder / "missing.mkv").string());
    files.push_back(media.garbage.string());
    files.push_back(media.audio.string());

    struct Case {
        std::string name;
        std::vector<std::string> options;
        bool errorTerminal;
        bool shown;
    };
    const std::vector<Case> cases{
        {"forced on a pipe", {"--progress"}, false, true},
        {"not on a pipe by default", {}, false, false},
        {"not when turned off on a terminal", {"--no-progress"}, true, false},
    };
    const std::string clear = "\r\033[K";
    for (const Case& c : cases) {
        auto arguments = c.options;
        arguments.insert(arguments.end(), {"--jsonl", "-j", "2"});
        arguments.insert(arguments.end(), files.begin(), files.end());
        CliRunOptions options;
        options.errorTerminal = c.errorTerminal;
        const auto run = runCli(arguments, options);
        EXPECT_EQ(jsonLinePaths(run.out), files) << c.name;
        if (!c.shown) {
            EXPECT_EQ(run.err.find("\033["), std::string::npos) << c.name;
            continue;
        }
        // Every write starts by clearing the line; what follows is whole diagnostic lines,
        // then the progress line.
        ASSERT_EQ(run.err.rfind(clear), run.err.size() - clear.size()) << "removed at the end";
        std::string diagnostics;
        std::size_t progressLines = 0;
        const std::regex progress(R"(vellinor-cli: [0-9]+/6 files, [0-9.]+ files/s, [0-9:]+ left)");
        for (std::size_t at = 0; at < run.err.size();) {
            ASSERT_EQ(run.err.compare(at, clear.size(), clear), 0) << run.err;
            at += clear.size();
            const std::size_t next = std::min(run.err.find(clear, at), run.err.size());
            const std::string piece = run.err.substr(at, next - at);
            const std::size_t lastBreak = piece.rfind('\n');
            const std::size_t statusStart = lastBreak == std::string::npos ? 0 : lastBreak + 1;
            diagnostics += piece.substr(0, statusStart);
            const std::string status = piece.substr(statusStart);
            if (!status.empty()) {
                EXPECT_TRUE(std::regex_match(status, progress)) << status;
                ++progressLines;
            }
            at = next;
        }
        EXPECT_GE(progressLines, 1u);
        EXPECT_EQ(diagnostics, "vellinor-cli: " + files[3] +
                                   ": no such file\nvellinor-cli: " + files[4] +
                                   ": the probe tool could not read it: Invalid data found when "
                                   "processing input\n");
    }
}

}  // namespace
}  // namespace vellinor::test

namespace vellinor::test {
namespace {

TEST(CliCache, ReRunsAnswerFromTheCacheWhichCanBeBypassedAndCleared)
{
    TempDir cacheHome;
    const auto& media = cliMedia();
    CliRunOptions options;
    options.env["XDG_CACHE_HOME"] = cacheHome.path().string();
    const fs::path database = cacheHome / "vellinor/probe-cache.sqlite";
    const std::vector<std::string> files{media.demo.string(), media.audio.string(),
                                         media.garbage.string()};
    auto arguments = [&](std::vector<std::string> front) {
        front.insert(front.end(), files.begin(), files.end());
        return front;
    };

    const auto bypassed = runCli(arguments({"--no-cache", "--jsonl"}), options);
    EXPECT_FALSE(fs::exists(database)) << "--no-cache neither reads nor writes it";
    const auto first = runCli(arguments({"--jsonl"}), options);
    EXPECT_TRUE(fs::exists(database));
    const auto again = runCli(arguments({"--jsonl"}), options);
    EXPECT_EQ(first.out, bypassed.out);
    EXPECT_EQ(again.out, first.out);
    EXPECT_EQ(again.err, first.err);

    const auto cleared = runCli({"--cache-clear"}, options);
    EXPECT_EQ(cleared.exitStatus, 0) << cleared.err;
    EXPECT_EQ(cleared.out + cleared.err, "");

    // A damaged database costs one line and nothing else.
    writeFile(database, std::string(4096, '\x01'));
    fs::remove(cacheHome / "vellinor/probe-cache.sqlite-wal");
    fs::remove(cacheHome / "vellinor/probe-cache.sqlite-shm");
    const auto damaged = runCli(arguments({"--jsonl"}), options);
    EXPECT_EQ(damaged.out, first.out);
    EXPECT_EQ(damaged.err, "vellinor-cli: the probe cache " + database.string() +
                               " cannot be used (file is not a database); probing without it\n" +
                               first.err);
    EXPECT_EQ(runCli({"--cache-clear"}, options).exitStatus, 0);
    EXPECT_FALSE(fs::exists(database) && fs::file_size(database) == 4096);
}

}  // namespace
}  // namespace vellinor::test
