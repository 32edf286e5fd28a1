// The tool-runner seam: FileProbe takes its tool output from the runner in its options, and the
// one-shot runner names its tool by path and version.

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "probe/file_probe.h"
#include "probe/one_shot_tool_runner.h"
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
        {{R"({"streams": [{"codec_type": "audio"}], "format": {"duration": "2"}})", ""}, true},
        {{"", "the probe tool timed out after 60 s"}, false},
        {{"{}", "the probe tool was killed by signal 11"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.toolProblem);
        auto runner = std::make_shared<FixedRunner>(c.answer);
        ProbeOptions options;
        options.toolPath = "/nonexistent/sniffer";  // a runner makes the path irrelevant
        options.toolRunner = runner;
        const FileProbe probe(media.string(), options);
        EXPECT_EQ(runner->paths, std::vector<std::string>{media.string()});
        EXPECT_EQ(probe.toolProblem, c.answer.toolProblem);
        EXPECT_EQ(probe.json.has_value(), c.hasDocument);
    }

    // An empty file is never handed to the runner.
    const fs::path empty = folder / "empty.mka";
    test::writeFile(empty, "");
    auto runner = std::make_shared<FixedRunner>(ToolRun{"{}", ""});
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

}  // namespace
}  // namespace vellinor
