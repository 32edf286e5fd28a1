// A real media file under names that break naive code: blanks, quotes, a line break, a leading
// dash, a colon (ffprobe's protocol separator), shell syntax, bytes that are not UTF-8, and the
// longest name a file system allows. Each must be probed as the file it is, by FileProbe and by
// vellinor-cli, and nothing may appear in the working folder.

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostile_support.h"
#include "json/json.h"
#include "probe/file_probe.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

struct HostileName {
    const char* what;
    std::string name;
};

const std::vector<HostileName>& hostileNames()
{
    static const std::vector<HostileName> names = {
        {"blanks", "with  some spaces .wav"},
        {"quotes", "it's a \"quoted\" name.wav"},
        {"line break", "first line\nsecond line.wav"},
        {"leading dash", "-v quiet.wav"},
        {"lone dash", "-"},
        {"colon", "concat:other.wav"},
        {"shell syntax", "$(touch pwned) `touch pwned2`; rm -rf x | y & z.wav"},
        {"glob", "*?[a-z]{1,2}.wav"},
        {"backslash", "back\\slash.wav"},
        {"not UTF-8", "caf\xe9 \xff\xfe.wav"},
        {"255 bytes", std::string(251, 'n') + ".wav"},
    };
    return names;
}

// Relative names are resolved against this folder, as a shell user's would be.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::filesystem::path& folder)
        : m_previous(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~WorkingFolder() { std::filesystem::current_path(m_previous); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
    std::filesystem::path m_previous;
};

class HostileNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        makeTone(m_media / "tone.wav");
        for (const auto& entry : hostileNames())
            std::filesystem::create_hard_link(m_media / "tone.wav", m_media / entry.name);
        m_before = folderEntries(m_media.path());
    }

    TempDir m_media;
    std::vector<std::string> m_before;
};

TEST_F(HostileNames, FileProbeReadsEachFileByRelativeAndAbsolutePath)
{
    ProbeOptions options;
    options.toolPath = ffprobePath();
    WorkingFolder inside(m_media.path());
    for (const auto& entry : hostileNames()) {
        for (const std::string& path : {entry.name, (m_media / entry.name).string()}) {
            SCOPED_TRACE(std::string(entry.what) + ": " + path);
            const FileProbe probe(path, options);
            EXPECT_FALSE(probe.hasErrors);
            EXPECT_TRUE(probe.toolProblem.empty()) << probe.toolProblem;
            EXPECT_EQ(probe.fileName, entry.name);
            EXPECT_TRUE(probe.isValidMediaFile);
            EXPECT_EQ(probe.numberOfTracks, 1);
            EXPECT_EQ(probe.numberOfAudioTracks, 1);
            EXPECT_EQ(probe.durationHuman, "00:00:00.100");
            ASSERT_TRUE(probe.json.has_value());
            // The tool saw this very file: its own name for it is the absolute path (mended to
            // UTF-8 where the name is not).
            const std::string seen = (*probe.json)["format"]["filename"].stringValue();
            if (entry.what == std::string("not UTF-8"))
                EXPECT_EQ(seen,
                          (m_media / "caf\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD.wav").string());
            else
                EXPECT_EQ(seen, (m_media / entry.name).string());
        }
    }
    EXPECT_EQ(folderEntries(m_media.path()), m_before) << "a file appeared in the folder";
}

TEST_F(HostileNames, CommandLineRecordsEachFileInOrder)
{
    if (!haveCli())
        GTEST_SKIP() << "built without vellinor-cli";
    std::vector<std::string> arguments{"--record", "-j", "4", "--"};
    for (const auto& entry : hostileNames())
        arguments.push_back(entry.name);

    const CliResult run = runCli(arguments, CliInvocation(m_media.path()));

    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto records = JSON::parse(run.out);
    ASSERT_TRUE(records.hasValue()) << run.out;
    ASSERT_EQ(records->count(), hostileNames().size());
    for (std::size_t i = 0; i < hostileNames().size(); ++i) {
        const auto& entry = hostileNames()[i];
        SCOPED_TRACE(entry.what);
        const JSON record = (*records)[i];
        // JSON text is UTF-8: a name that is not gets each bad byte as U+FFFD.
        const std::string shown = entry.what == std::string("not UTF-8")
                                      ? "caf\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD.wav"
                                      : entry.name;
        EXPECT_EQ(record["path"].stringValue(), shown);
        EXPECT_EQ(record["fileName"].stringValue(), shown);
        EXPECT_EQ(record["isValidMediaFile"], JSON(true));
        EXPECT_EQ(record["numberOfAudioTracks"].intValue(), 1);
        EXPECT_EQ(record["durationHuman"].stringValue(), "00:00:00.100");
        EXPECT_EQ(record["problem"].type(), JSONType::null);
    }
    EXPECT_EQ(folderEntries(m_media.path()), m_before) << "a file appeared in the folder";
}

TEST_F(HostileNames, CommandLineTextReportNamesEveryFile)
{
    if (!haveCli())
        GTEST_SKIP() << "built without vellinor-cli";
    std::vector<std::string> arguments{"--"};
    for (const auto& entry : hostileNames())
        arguments.push_back(entry.name);

    const CliResult run = runCli(arguments, CliInvocation(m_media.path()).with("NO_COLOR", "1"));

    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    std::size_t reports = 0;
    for (const std::string& line : linesOf(run.out)) {
        if (line.rfind("File Name: ", 0) == 0)
            ++reports;
    }
    EXPECT_EQ(reports, hostileNames().size());
    // A line break in a name must not start a line of its own in the report.
    for (const std::string& line : linesOf(run.out))
        EXPECT_NE(line.rfind("second line.wav", 0), 0u) << line;
    EXPECT_EQ(folderEntries(m_media.path()), m_before) << "a file appeared in the folder";
}

}  // namespace
}  // namespace vellinor::test
