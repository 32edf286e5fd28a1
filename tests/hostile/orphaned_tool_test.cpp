// A tool run once per file (a stock ffprobe, the packet reader of --bitrate) must end with
// vellinor-cli however it ends: interrupted, terminated, hung up on or killed outright.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "hostile_support.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

using namespace std::chrono_literals;

struct OrphanCase {
    const char* name;
    int signal;
    bool packets;  // --bitrate (the packet reader) instead of a probe by a stock tool
};

void PrintTo(const OrphanCase& c, std::ostream* out)
{
    *out << c.name;
}

class OrphanedTool : public ::testing::TestWithParam<OrphanCase> {};

// Starts vellinor-cli without waiting for it; its output goes nowhere.
pid_t startCli(const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment)
{
    std::vector<std::string> command{"env"};
    command.insert(command.end(), environment.begin(), environment.end());
    command.push_back(cliPath());
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& part : command)
        argv.push_back(part.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::freopen("/dev/null", "w", stdout);
        ::freopen("/dev/null", "w", stderr);
        ::execvp("env", argv.data());
        ::_exit(127);
    }
    return pid;
}

TEST_P(OrphanedTool, EndsWithTheCommandLine)
{
    if (!haveCli())
        GTEST_SKIP() << "built without vellinor-cli";
    const OrphanCase& c = GetParam();
    TempDir folder;
    makeTone(folder / "song.wav");
    // `exec` keeps the recorded pid the tool's own; it would sleep far past the test.
    writeScript(folder / "sniffer",
                "echo $$ >> '" + (folder / "pids").string() + "'\nexec sleep 300\n");

    std::vector<std::string> environment;
    std::vector<std::string> arguments{"--no-cache"};
    if (c.packets) {
        environment.push_back("VELLINOR_RESOURCE_DIR=" + folder.path().string());
        arguments.push_back("--bitrate");
    } else {
        environment.push_back("VELLINOR_PROBE_TOOL=" + (folder / "sniffer").string());
    }
    arguments.push_back((folder / "song.wav").string());
    const pid_t cli = startCli(arguments, environment);
    ASSERT_GT(cli, 0);

    std::vector<int> tools;
    for (auto waited = 0ms; tools.empty() && waited < 30s; waited += 20ms) {
        std::this_thread::sleep_for(20ms);
        tools = recordedProcessIds(folder / "pids");
    }
    ASSERT_EQ(tools.size(), 1u) << "the tool never started";
    ASSERT_EQ(::kill(cli, c.signal), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(cli, &status, 0), cli);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << "status " << status;
    EXPECT_TRUE(processGone(tools.front(), 5s)) << "the tool outlived vellinor-cli";
    ::kill(tools.front(), SIGKILL);  // no leftover whatever the outcome
}

std::string orphanCaseName(const ::testing::TestParamInfo<OrphanCase>& parameter)
{
    return parameter.param.name;
}

INSTANTIATE_TEST_SUITE_P(Signal, OrphanedTool,
                         ::testing::Values(OrphanCase{"ProbeSIGINT", SIGINT, false},
                                           OrphanCase{"ProbeSIGTERM", SIGTERM, false},
                                           OrphanCase{"ProbeSIGHUP", SIGHUP, false},
                                           OrphanCase{"ProbeSIGKILL", SIGKILL, false},
                                           OrphanCase{"BitrateSIGINT", SIGINT, true},
                                           OrphanCase{"BitrateSIGTERM", SIGTERM, true},
                                           OrphanCase{"BitrateSIGHUP", SIGHUP, true},
                                           OrphanCase{"BitrateSIGKILL", SIGKILL, true}),
                         orphanCaseName);

}  // namespace
}  // namespace vellinor::test
