// Probe tools that misbehave: one that hangs (with a child of its own), one that dies of a
// signal, one that floods standard error, one that prints more than the output cap, one that
// prints JSON nested 100,000 levels deep, one that prints bytes that are not UTF-8, one that
// leaves a process holding its output open. Each runs as FileProbe's tool and as the `sniffer`
// of vellinor-cli; every outcome is checked, along with the time taken, processes left behind
// and files left in the working folder.

#include <cctype>
#include <chrono>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostile_support.h"
#include "json/json.h"
#include "probe/file_probe.h"
#include "support/captured_diagnostics.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

using namespace std::chrono_literals;

// A document with one audio stream, as the last thing a tool prints.
constexpr const char* kPrintDocument =
    R"(printf '{"format": {"duration": "2.5", "tags": {"title": "Song"}}, )"
    R"("streams": [{"codec_type": "audio", "codec_name": "mp3"}]}')";

struct ToolCase {
    const char* what;
    std::string script;                 // body of the fake tool; $PIDS names the pid file
    std::chrono::milliseconds timeout;  // the probe's time limit
    std::string toolProblem;            // FileProbe::toolProblem
    std::string cliProblem;             // the reason vellinor-cli gives ("" when none)
    bool documentRead;                  // the record has the document's fields
    double maxSeconds;                  // the run must end within this
};

// Test names show the case's description.
void PrintTo(const ToolCase& c, std::ostream* out)
{
    *out << c.what;
}

std::vector<ToolCase> toolCases()
{
    const std::string recordPid = "echo $$ >> \"$PIDS\"\n";
    return {
        {"hangs with a child of its own", recordPid + "sleep 1000 &\necho $! >> \"$PIDS\"\nwait\n",
         1500ms, "the probe tool timed out after 1500 ms", "the probe tool timed out after 1500 ms",
         false, 20.0},
        {"dies of a signal after printing", recordPid + kPrintDocument + "\nkill -SEGV $$\n", 10s,
         "the probe tool was killed by signal 11", "the probe tool was killed by signal 11", true,
         20.0},
        {"dies of a signal before printing", recordPid + "kill -KILL $$\n", 10s,
         "the probe tool was killed by signal 9", "the probe tool was killed by signal 9", false,
         20.0},
        {"floods standard error with 100 MB",
         recordPid + "head -c 100000000 /dev/zero >&2\n" + kPrintDocument + "\n", 60s, "", "", true,
         60.0},
        // A valid document were it not for its size: 300 MB inside one text.
        {"prints 300 MB",
         recordPid + R"(printf '{"streams": [{}], "pad": "')" +
             "\nhead -c 314572800 /dev/zero | tr '\\0' a\nprintf '\"}'\n",
         60s, "the probe tool printed more than 32 MiB", "the probe tool printed more than 32 MiB",
         false, 60.0},
        // 4 MB, but two million values: parsed, they would take some 30 times the text.
        {"prints more values than a document may hold",
         recordPid + R"(printf '{"streams": [{"codec_type": "audio"}], "pad": [')" +
             "\nyes 0, | head -n 2000000 | tr -d '\\n'\nprintf '0]}'\n",
         20s, "the probe tool printed more than 2000000 values",
         "the probe tool printed more than 2000000 values", false, 60.0},
        {"prints arrays nested 100,000 deep",
         recordPid + "head -c 100000 /dev/zero | tr '\\0' '['\n"
                     "head -c 100000 /dev/zero | tr '\\0' ']'\n",
         10s, "", "not a media file", false, 20.0},
        {"prints objects nested 100,000 deep",
         recordPid + "yes '{\"a\":' | head -n 100000 | tr -d '\\n'\nprintf 1\n"
                     "head -c 100000 /dev/zero | tr '\\0' '}'\n",
         10s, "", "not a media file", false, 20.0},
        {"prints bytes that are not UTF-8",
         recordPid +
             R"(printf '{"format": {"duration": "2.5", "tags": {"title": "caf\351 \377"}}, )"
             R"("streams": [{"codec_type": "audio", "codec_name": "mp3", )"
             R"("tags": {"language": "fre\300"}}]}')"
             "\n",
         10s, "", "", true, 20.0},
        {"leaves a process holding its output open",
         recordPid + "sleep 1000 &\necho $! >> \"$PIDS\"\n" + kPrintDocument + "\n", 10s, "", "",
         true, 20.0},
        {"prints something that is not JSON", recordPid + "echo 'Segmentation fault'\n", 10s, "",
         "not a media file", false, 20.0},
    };
}

// A fake tool in its own folder, named `sniffer` so vellinor-cli can use the folder as its
// resources; it appends its process ids (and any it starts) to a file.
class FakeTool {
public:
    explicit FakeTool(const std::string& body)
    {
        writeScript(path(), "PIDS='" + pidFile().string() + "'\n" + body);
    }
    [[nodiscard]] std::filesystem::path folder() const { return m_folder.path(); }
    [[nodiscard]] std::filesystem::path path() const { return m_folder / "sniffer"; }
    [[nodiscard]] std::filesystem::path pidFile() const { return m_folder / "pids"; }

    // Every process the tool recorded has ended.
    void expectNothingLeftRunning() const
    {
        const auto pids = recordedProcessIds(pidFile());
        EXPECT_FALSE(pids.empty()) << "the tool never ran";
        for (int pid : pids)
            EXPECT_TRUE(processGone(pid)) << "process " << pid << " is still running";
    }

private:
    TempDir m_folder;
};

class HostileTools : public ::testing::TestWithParam<ToolCase> {
protected:
    void SetUp() override { makeTone(m_media / "song.wav"); }
    TempDir m_media;
};

TEST_P(HostileTools, FileProbe)
{
    const ToolCase& c = GetParam();
    const FakeTool tool(c.script);
    ProbeOptions options;
    options.toolPath = tool.path().string();
    options.timeout = c.timeout;
    const test::CapturedDiagnostics captured;
    const std::vector<std::string>& lines = captured.lines();

    const auto start = std::chrono::steady_clock::now();
    const FileProbe probe((m_media / "song.wav").string(), options);
    const double seconds = secondsSince(start);

    EXPECT_LT(seconds, c.maxSeconds);
    EXPECT_EQ(probe.toolProblem, c.toolProblem);
    EXPECT_FALSE(probe.hasErrors);
    EXPECT_EQ(probe.fileName, "song.wav");
    EXPECT_TRUE(lines.empty()) << lines.front();
    if (c.documentRead) {
        ASSERT_TRUE(probe.json.has_value());
        EXPECT_TRUE(probe.isValidMediaFile);
        EXPECT_EQ(probe.numberOfAudioTracks, 1);
        EXPECT_EQ(probe.durationHuman, "00:00:02.500");
        ASSERT_FALSE(probe.metadata.empty());
        // Bytes that are not UTF-8 are mended, each bad one becoming U+FFFD.
        EXPECT_TRUE(probe.metadata.back().value == "Song" ||
                    probe.metadata.back().value == "caf\xEF\xBF\xBD \xEF\xBF\xBD")
            << probe.metadata.back().value;
        EXPECT_TRUE(probe.json->rawString().has_value());
    } else {
        EXPECT_FALSE(probe.json.has_value());
        EXPECT_FALSE(probe.isValidMediaFile);
        EXPECT_EQ(probe.numberOfTracks, 0);
        EXPECT_FALSE(probe.durationHuman.has_value());
    }
    tool.expectNothingLeftRunning();
    EXPECT_EQ(childProcesses(), std::vector<int>{}) << "a child process was left behind";
}

TEST_P(HostileTools, CommandLine)
{
    if (!haveCli())
        GTEST_SKIP() << "built without vellinor-cli";
    const ToolCase& c = GetParam();
    const FakeTool tool(c.script);
    TempDir working;
    const std::string media = (m_media / "song.wav").string();
    const auto timeout = std::chrono::duration<double>(c.timeout).count();

    const CliResult run =
        runCli({"--record", "--timeout", std::to_string(timeout), media},
               CliInvocation(working.path()).with("VELLINOR_RESOURCE_DIR", tool.folder().string()));

    ASSERT_TRUE(run.finished) << "vellinor-cli did not finish";
    EXPECT_LT(run.seconds, c.maxSeconds);
    if (c.cliProblem.empty()) {
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_EQ(run.err, "");
    } else {
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(run.err, "vellinor-cli: " + media + ": " + c.cliProblem + "\n");
    }
    const auto records = JSON::parse(run.out);
    ASSERT_TRUE(records.hasValue()) << run.out.substr(0, 2000);
    ASSERT_EQ(records->count(), 1u);
    const JSON record = (*records)[0];
    EXPECT_EQ(record["path"].stringValue(), media);
    EXPECT_EQ(record["toolProblem"].stringValue(), c.toolProblem);
    EXPECT_EQ(record["isValidMediaFile"], JSON(c.documentRead));
    EXPECT_EQ(record["numberOfAudioTracks"].intValue(), c.documentRead ? 1 : 0);
    tool.expectNothingLeftRunning();
    EXPECT_EQ(folderEntries(working.path()), std::vector<std::string>{})
        << "a file appeared in the working folder";
}

// "hangs with a child of its own" becomes the test name "hangswithachildofitsown".
std::string caseName(const ::testing::TestParamInfo<ToolCase>& parameter)
{
    std::string name;
    for (const char* c = parameter.param.what; *c != '\0'; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c)))
            name += *c;
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Tool, HostileTools, ::testing::ValuesIn(toolCases()), caseName);

// Below the cap nothing is cut: a document of 33 MB (mostly one text) is read whole.
TEST(HostileToolOutput, LargeDocumentBelowTheCapIsReadWhole)
{
    TempDir media;
    makeTone(media / "song.wav");
    const FakeTool tool(R"(printf '{"streams": [{"codec_type": "audio"}], "pad": "')"
                        "\nhead -c 33000000 /dev/zero | tr '\\0' a\nprintf '\"}'\n");
    ProbeOptions options;
    options.toolPath = tool.path().string();
    const FileProbe probe((media / "song.wav").string(), options);
    EXPECT_EQ(probe.toolProblem, "");
    ASSERT_TRUE(probe.json.has_value());
    EXPECT_EQ((*probe.json)["pad"].stringValue().size(), 33000000u);
    EXPECT_EQ(probe.numberOfAudioTracks, 1);
}

// A missing tool is said once, in the record and on standard error, and nothing is probed.
TEST(HostileToolOutput, CommandLineWithoutATool)
{
    if (!haveCli())
        GTEST_SKIP() << "built without vellinor-cli";
    TempDir media;
    makeTone(media / "song.wav");
    TempDir emptyResources;
    TempDir working;
    const CliResult run =
        runCli({"--record", (media / "song.wav").string()},
               CliInvocation(working.path())
                   .with("VELLINOR_RESOURCE_DIR", emptyResources.path().string()));
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(linesOf(run.err).size(), 1u) << run.err;
    EXPECT_EQ(run.err.rfind("vellinor-cli: sniffer: ", 0), 0u) << run.err;
    EXPECT_EQ(folderEntries(working.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace vellinor::test
