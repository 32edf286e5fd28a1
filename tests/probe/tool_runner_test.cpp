// The tool-runner seam: FileProbe takes its tool output from the runner in its options, and the
// one-shot runner names its tool by path and version.

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "probe/file_probe.h"
#include "probe/one_shot_tool_runner.h"
#include "probe/tool_problem.h"
#include "support/test_support.h"

namespace vellinor {
namespace {

namespace fs = std::filesystem;

// Hands back a fixed run and remembers which paths it was asked for.
class FixedRunner : public ToolRunner {
public:
    explicit FixedRunner(ToolRun answer) : m_answer(std::move(answer)) {}
    ToolRun run(const std::string& path) override
    {
        paths.push_back(path);
        return m_answer;
    }
    [[nodiscard]] std::string identity() const override { return "fixed"; }
    std::vector<std::string> paths;

private:
    ToolRun m_answer;
};

TEST(ToolRunner, FileProbeReadsTheRunnersOutputAndProblem)
{
    test::TempDir folder;
    const fs::path media = folder / "song.mka";
    test::writeFile(media, "bytes");

    struct Case {
        ToolRun answer;
        bool hasDocument;
    };
    const Case cases[] = {
        {{R"({"streams": [{"codec_type": "audio"}], "format": {"duration": "2"}})", ok()}, true},
        {{"", Unexpected(ErrorKind::timedOut, "the probe tool timed out after 60 s")}, false},
        {{"{}", Unexpected("the probe tool was killed by signal 11")}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.problemText());
        auto runner = std::make_shared<FixedRunner>(c.answer);
        ProbeOptions options;
        options.toolPath = "/nonexistent/sniffer";  // a runner makes the path irrelevant
        options.toolRunner = runner;
        const FileProbe probe(media.string(), options);
        EXPECT_EQ(runner->paths, std::vector<std::string>{media.string()});
        EXPECT_EQ(probe.toolProblem, c.answer.problemText());
        EXPECT_EQ(probe.json.has_value(), c.hasDocument);
    }

    // An empty file is never handed to the runner.
    const fs::path empty = folder / "empty.mka";
    test::writeFile(empty, "");
    auto runner = std::make_shared<FixedRunner>(ToolRun{"{}"});
    ProbeOptions options;
    options.toolRunner = runner;
    EXPECT_TRUE(FileProbe(empty.string(), options).hasErrors);
    EXPECT_TRUE(runner->paths.empty());
}

TEST(ToolRunner, OneShotIdentityIsPathAndFirstVersionLineAskedOnce)
{
    test::TempDir folder;
    const fs::path tool = folder / "sniffer";
    const fs::path counter = folder / "asked";
    test::writeScript(tool,
                      "echo x >> '" + counter.string() +
                          "'\n[ \"$1\" = --version ] && printf 'sniffer 1.2 (lavf 59)\\nmore\\n'");
    const OneShotToolRunner runner(tool.string());
    std::vector<std::thread> threads;
    std::atomic<int> matching{0};
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] {
            if (runner.identity() == tool.string() + "\nsniffer 1.2 (lavf 59)")
                ++matching;
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(matching, 4);
    EXPECT_EQ(test::readFile(counter), "x\n");

    // A tool that fails or is missing has no identity to key on.
    test::writeScript(folder / "broken", "exit 3");
    EXPECT_EQ(OneShotToolRunner((folder / "broken").string()).identity(), "");
    EXPECT_EQ(OneShotToolRunner("/nonexistent/sniffer").identity(), "");
}

// Every child (the probe tool, the scanner, the packet reader) has its ends worded and kinded
// by one rule: callers act on the kind, people read the reason.
TEST(ToolProblem, AChildsEndIsOneFailureOfAKind)
{
    using Outcome = platform::ProcessResult::Outcome;
    struct Case {
        const tool_problem::ChildNames& child;
        Outcome outcome;
        int signalNumber;
        std::string output;
        std::chrono::milliseconds limit;
        ErrorKind kind;  // failed for an exit: the status is the caller's to read
        std::string reason;
        std::string outputAfter;
    };
    using namespace std::chrono_literals;
    const std::string sandboxLine = "sniffer: stopped by its sandbox: socket\n";
    const Case cases[] = {
        {tool_problem::kProbeTool, Outcome::exited, 0, "{}", 60s, ErrorKind::failed, "", "{}"},
        {tool_problem::kProbeTool, Outcome::timedOut, 0, "", 60s, ErrorKind::timedOut,
         "the probe tool timed out after 60 s", ""},
        {tool_problem::kScanner, Outcome::timedOut, 0, "", 500ms, ErrorKind::timedOut,
         "the scanner timed out after 500 ms", ""},
        {tool_problem::kProbeTool, Outcome::signaled, 11, "{\"streams\"", 60s, ErrorKind::failed,
         "the probe tool was killed by signal 11", "{\"streams\""},
        {tool_problem::kPacketReader, Outcome::signaled, SIGSYS, sandboxLine, 60s,
         ErrorKind::failed, "the packet reader was stopped by its sandbox: socket", ""},
        {tool_problem::kScanner, Outcome::signaled, SIGSYS, sandboxLine, 60s, ErrorKind::failed,
         "the scanner was stopped by its sandbox: socket", ""},
        {tool_problem::kProbeTool, Outcome::outputTooLarge, 0, "", 60s, ErrorKind::tooLarge,
         "the probe tool printed more than 32 MiB", ""},
        {tool_problem::kScanner, Outcome::cancelled, 0, "", 60s, ErrorKind::cancelled,
         "the scan was cancelled", ""},
        {tool_problem::kProbeTool, Outcome::cancelled, 0, "", 60s, ErrorKind::cancelled,
         "the probe was cancelled", ""},
        {tool_problem::kPacketReader, Outcome::failedToStart, 0, "", 60s, ErrorKind::failed,
         "could not start the packet reader: Could not start /x/sniffer: No such file", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        platform::ProcessResult result;
        result.outcome = c.outcome;
        result.signalNumber = c.signalNumber;
        result.standardOutput = c.output;
        result.startError = "Could not start /x/sniffer: No such file";
        const Status status =
            tool_problem::childStatus(c.child, result, c.limit, tool_problem::kMaxDocumentBytes);
        EXPECT_EQ(status.hasValue(), c.reason.empty());
        if (!status) {
            EXPECT_EQ(status.kind(), c.kind);
            EXPECT_EQ(status.error(), c.reason);
        }
        EXPECT_EQ(result.standardOutput, c.outputAfter);
    }
}

}  // namespace
}  // namespace vellinor
