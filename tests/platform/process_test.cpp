#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace vellinor::platform {
namespace {

using Outcome = ProcessResult::Outcome;
using test::TempDir;
using test::writeScript;
using namespace std::chrono_literals;

// Prints argv[0] and each argument NUL-terminated, so newlines inside arguments survive.
constexpr const char* kPrintArguments =
    R"sh(for argument in "$0" "$@"; do printf '%s\0' "$argument"; done)sh";

std::vector<std::string> splitOnNul(const std::string& text)
{
    std::vector<std::string> parts;
    std::string::size_type begin = 0;
    for (auto end = text.find('\0'); end != std::string::npos; end = text.find('\0', begin)) {
        parts.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    return parts;
}

std::size_t openDescriptorCount()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(RunProcess, PassesExactlyTheGivenArguments)
{
    TempDir dir;
    auto tool = dir / "print args";
    writeScript(tool, kPrintArguments);
    const std::vector<std::string> arguments{"plain",
                                             "with space",
                                             "it's \"quoted\"",
                                             "line\nbreak",
                                             "-v",
                                             "--flag=value",
                                             "",
                                             "$HOME `id` ;|&",
                                             "*",
                                             "\xff\xfe not utf-8",
                                             "tab\there",
                                             "\\backslash",
                                             "ünïcödé"};

    auto result = runProcess(tool.string(), arguments);

    ASSERT_EQ(result.outcome, Outcome::exited);
    EXPECT_EQ(result.exitCode, 0);
    std::vector<std::string> expected{tool.string()};
    expected.insert(expected.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(splitOnNul(result.standardOutput), expected);
}

TEST(RunProcess, ReportsTheExitCodeAndKeepsTheOutput)
{
    TempDir dir;
    writeScript(dir / "tool", "echo partial; exit 3");
    auto result = runProcess((dir / "tool").string(), {});
    EXPECT_EQ(result.outcome, Outcome::exited);
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.standardOutput, "partial\n");
}

TEST(RunProcess, StandardInputIsEmptyAndStandardErrorGoesNowhere)
{
    TempDir dir;
    // `cat` would wait forever on an inherited terminal; with /dev/null it ends at once.
    writeScript(dir / "tool",
                R"sh(cat; printf 'in:%s\n' "$(readlink /proc/$$/fd/0)"; )sh"
                R"sh(printf 'err:%s\n' "$(readlink /proc/$$/fd/2)"; echo noise >&2)sh");
    auto result = runProcess((dir / "tool").string(), {});
    ASSERT_EQ(result.outcome, Outcome::exited);
    EXPECT_EQ(result.standardOutput, "in:/dev/null\nerr:/dev/null\n");
}

// A tool that prints the target of each of its open descriptors, one a line. `exec` first, so
// the listing is of a program that has opened nothing of its own yet.
void writeDescriptorLister(const std::filesystem::path& path)
{
    std::string body = "exec readlink -v";
    for (int fd = 0; fd < 256; ++fd)
        body += " /proc/self/fd/" + std::to_string(fd);
    writeScript(path, body);
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        result.push_back(line);
    return result;
}

TEST(RunProcess, ChildGetsOnlyItsThreeStandardDescriptors)
{
    TempDir dir;
    writeDescriptorLister(dir / "tool");
    // A descriptor of ours without close-on-exec, which must not reach the child either.
    int inheritable = ::open("/dev/zero", O_RDONLY);
    ASSERT_GE(inheritable, 0);
    // Several runs at once, so the others' pipes and pidfds exist while each child starts.
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&] {
            for (int run = 0; run < 10; ++run) {
                auto targets = lines(runProcess((dir / "tool").string(), {}).standardOutput);
                ASSERT_EQ(targets.size(), 3u) << ::testing::PrintToString(targets);
                EXPECT_EQ(targets[0], "/dev/null");
                EXPECT_EQ(targets[1].rfind("pipe:", 0), 0u) << targets[1];
                EXPECT_EQ(targets[2], "/dev/null");
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    ::close(inheritable);
}

TEST(RunProcess, ReadsLargeOutputWhole)
{
    TempDir dir;
    constexpr std::size_t size = 50'000'000;
    writeScript(dir / "tool", "head -c " + std::to_string(size) + " /dev/zero | tr '\\0' 'x'");
    auto result = runProcess((dir / "tool").string(), {});
    ASSERT_EQ(result.outcome, Outcome::exited);
    ASSERT_EQ(result.standardOutput.size(), size);
    EXPECT_EQ(result.standardOutput.find_first_not_of('x'), std::string::npos);
}

TEST(RunProcess, FloodOfStandardErrorDoesNotBlock)
{
    TempDir dir;
    writeScript(dir / "tool", "head -c 100000000 /dev/zero >&2; echo done");
    ProcessOptions options;
    options.timeout = 60s;
    auto result = runProcess((dir / "tool").string(), {}, options);
    ASSERT_EQ(result.outcome, Outcome::exited);
    EXPECT_EQ(result.standardOutput, "done\n");
}

// Whether `pid` still runs: gone, or a zombie waiting for init, both count as ended.
bool processRuns(pid_t pid)
{
    auto stat = test::readFile("/proc/" + std::to_string(pid) + "/stat");
    auto afterName = stat.rfind(')');
    return afterName != std::string::npos && stat.size() > afterName + 2 &&
           stat[afterName + 2] != 'Z' && stat[afterName + 2] != 'X';
}

// SIGKILL takes effect asynchronously: allow the process a moment to die.
void expectEnds(pid_t pid)
{
    for (int i = 0; i < 100 && processRuns(pid); ++i)
        std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(processRuns(pid)) << "process " << pid << " the tool started survived";
}

TEST(RunProcess, HungToolIsKilledAtTheTimeLimitWithEverythingItStarted)
{
    TempDir dir;
    // The shell's child `sleep` holds the pipe too: both must go.
    writeScript(dir / "tool", "echo started; sleep 1000 & echo $! > \"$0.pid\"; wait; echo never");
    ProcessOptions options;
    options.timeout = 500ms;
    auto start = std::chrono::steady_clock::now();
    auto result = runProcess((dir / "tool").string(), {}, options);
    double elapsed = secondsSince(start);

    EXPECT_EQ(result.outcome, Outcome::timedOut);
    EXPECT_EQ(result.standardOutput, "") << "output of a killed run is discarded";
    EXPECT_GE(elapsed, 0.5);
    EXPECT_LT(elapsed, 10.0) << "bounded, nowhere near the tool's 1000 s";
    expectEnds(static_cast<pid_t>(std::stoi(test::readFile(dir / "tool.pid"))));
}

TEST(RunProcess, ToolThatClosesItsOutputAndLingersIsStillBounded)
{
    TempDir dir;
    writeScript(dir / "tool", "echo early; exec >&-; sleep 1000");
    ProcessOptions options;
    options.timeout = 500ms;
    auto start = std::chrono::steady_clock::now();
    auto result = runProcess((dir / "tool").string(), {}, options);
    EXPECT_EQ(result.outcome, Outcome::timedOut);
    EXPECT_LT(secondsSince(start), 10.0);
}

TEST(RunProcess, LeftoverHoldingThePipeDoesNotKeepUsWaiting)
{
    TempDir dir;
    // The tool exits at once, but a background job it started keeps the pipe open.
    writeScript(dir / "tool", "sleep 1000 & echo $! > \"$0.pid\"; echo finished; exit 0");
    ProcessOptions options;
    options.timeout = 0ms;  // no limit: the grace after the tool's exit must end the wait
    auto start = std::chrono::steady_clock::now();
    auto result = runProcess((dir / "tool").string(), {}, options);
    EXPECT_EQ(result.outcome, Outcome::exited);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardOutput, "finished\n");
    EXPECT_LT(secondsSince(start), 10.0);
    expectEnds(static_cast<pid_t>(std::stoi(test::readFile(dir / "tool.pid"))));
}

TEST(RunProcess, StreamsOutputAsItArrives)
{
    TempDir dir;
    // The second line is printed only after the first has been seen by the caller.
    writeScript(dir / "tool",
                "echo one; while [ ! -e \"$0.seen\" ]; do sleep 0.01; done; echo two");
    std::string streamed;
    ProcessOptions options;
    options.timeout = 20s;
    options.onOutput = [&](std::string_view piece) {
        streamed += piece;
        if (streamed == "one\n")
            test::writeFile(dir / "tool.seen", "");
        return true;
    };
    auto result = runProcess((dir / "tool").string(), {}, options);
    EXPECT_EQ(result.outcome, Outcome::exited);
    EXPECT_EQ(result.standardOutput, "one\ntwo\n");
    EXPECT_EQ(streamed, result.standardOutput) << "the pieces together are the output";
}

TEST(RunProcess, CallbackCancelsAQuietRunAndEverythingItStarted)
{
    TempDir dir;
    writeScript(dir / "tool", "sleep 1000 & echo $! > \"$0.pid\"; wait");
    int calls = 0;
    ProcessOptions options;
    options.timeout = 0ms;
    options.pollInterval = 20ms;
    options.onOutput = [&](std::string_view) {
        // Asked again while the tool prints nothing, so the caller can give up on it.
        return ++calls < 10 || !std::filesystem::exists(dir / "tool.pid");
    };
    auto start = std::chrono::steady_clock::now();
    auto result = runProcess((dir / "tool").string(), {}, options);
    EXPECT_EQ(result.outcome, Outcome::cancelled);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_LT(secondsSince(start), 10.0);
    expectEnds(static_cast<pid_t>(std::stoi(test::readFile(dir / "tool.pid"))));
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "the tool was reaped";
}

TEST(RunProcess, OutputOverTheCapIsRefused)
{
    TempDir dir;
    writeScript(dir / "tool", "head -c 10000000 /dev/zero");
    ProcessOptions options;
    options.maxOutputBytes = 1000;
    auto result = runProcess((dir / "tool").string(), {}, options);
    EXPECT_EQ(result.outcome, Outcome::outputTooLarge);
    EXPECT_EQ(result.standardOutput, "");
}

TEST(RunProcess, OutputExactlyAtTheCapIsAccepted)
{
    TempDir dir;
    writeScript(dir / "tool", "head -c 1000 /dev/zero");
    ProcessOptions options;
    options.maxOutputBytes = 1000;
    auto result = runProcess((dir / "tool").string(), {}, options);
    EXPECT_EQ(result.outcome, Outcome::exited);
    EXPECT_EQ(result.standardOutput.size(), 1000u);
}

TEST(RunProcess, ToolKilledByItsOwnSignalKeepsWhatItPrinted)
{
    TempDir dir;
    writeScript(dir / "tool", "echo before; kill -SEGV $$");
    auto result = runProcess((dir / "tool").string(), {});
    EXPECT_EQ(result.outcome, Outcome::signaled);
    EXPECT_EQ(result.signalNumber, SIGSEGV);
    EXPECT_EQ(result.standardOutput, "before\n");
}

TEST(RunProcess, ToolStartsWithDefaultSignalHandling)
{
    TempDir dir;
    writeScript(dir / "tool", "exec grep -E '^Sig(Blk|Ign):' /proc/self/status");
    // A caller that ignores SIGPIPE or blocks signals (many do) must not pass that on.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    sigset_t blocked;
    sigset_t previousMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);
    auto result = runProcess((dir / "tool").string(), {});
    ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    ::sigaction(SIGPIPE, &previous, nullptr);

    auto masks = lines(result.standardOutput);
    ASSERT_EQ(masks.size(), 2u) << result.standardOutput;
    // Only the classic signals 1 to 31: the C library reserves some real-time ones itself.
    auto classic = [](const std::string& line) {
        return std::stoull(line.substr(line.find('\t') + 1), nullptr, 16) & 0x7fffffffULL;
    };
    EXPECT_EQ(classic(masks[0]), 0u) << masks[0];
    EXPECT_EQ(classic(masks[1]), 0u) << masks[1];
}

TEST(RunProcess, FailsToStartWithADescription)
{
    TempDir dir;
    test::writeFile(dir / "not executable", "#!/bin/sh\necho hi\n");
    test::writeFile(dir / "no interpreter line", "echo hi\n");
    std::filesystem::permissions(dir / "no interpreter line", std::filesystem::perms::owner_all);
    std::filesystem::create_directory(dir / "folder");
    struct Case {
        std::string executable;
        std::string reason;
    };
    const std::vector<Case> cases{
        {(dir / "missing").string(), "No such file or directory"},
        {(dir / "not executable").string(), "Permission denied"},
        {(dir / "folder").string(), "Permission denied"},
        {(dir / "no interpreter line").string(), "Exec format error"},
        {"", "No such file or directory"},
    };
    for (const auto& c : cases) {
        auto result = runProcess(c.executable, {"x"});
        EXPECT_EQ(result.outcome, Outcome::failedToStart) << c.executable;
        EXPECT_EQ(result.startError, "Could not start " + c.executable + ": " + c.reason);
        EXPECT_EQ(result.standardOutput, "");
    }
}

TEST(RunProcess, RefusesArgumentsWithNulBytes)
{
    // argv cannot carry a NUL: passing the cut-off text would run the tool on another file.
    auto result = runProcess("/bin/echo", {std::string("a\0b", 3)});
    EXPECT_EQ(result.outcome, Outcome::failedToStart);
    EXPECT_NE(result.startError.find("NUL"), std::string::npos);
}

TEST(RunProcess, LeaksNoDescriptorsAndNoChildren)
{
    TempDir dir;
    writeScript(dir / "quick", "echo hi");
    writeScript(dir / "slow", "sleep 1000");
    writeScript(dir / "big", "head -c 100000 /dev/zero");
    ProcessOptions shortLimit;
    shortLimit.timeout = 50ms;
    ProcessOptions smallCap;
    smallCap.maxOutputBytes = 10;

    auto before = openDescriptorCount();
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(runProcess((dir / "quick").string(), {}).outcome, Outcome::exited);
        EXPECT_EQ(runProcess((dir / "missing").string(), {}).outcome, Outcome::failedToStart);
        if (i % 10 == 0) {
            EXPECT_EQ(runProcess((dir / "slow").string(), {}, shortLimit).outcome,
                      Outcome::timedOut);
            EXPECT_EQ(runProcess((dir / "big").string(), {}, smallCap).outcome,
                      Outcome::outputTooLarge);
        }
    }
    EXPECT_EQ(openDescriptorCount(), before);
    // Every child was reaped: there is nothing left to wait for.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(RunProcess, ParallelRunsEachGetTheirOwnOutput)
{
    TempDir dir;
    writeScript(dir / "tool", R"sh(printf '%s' "$1"; sleep 0.0$(( $$ % 5 )); printf '|%s' "$1")sh");
    constexpr int threadCount = 8;
    constexpr int runsPerThread = 20;
    std::vector<std::vector<std::string>> outputs(threadCount);
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            for (int run = 0; run < runsPerThread; ++run) {
                auto token = std::to_string(t) + "-" + std::to_string(run);
                outputs[static_cast<std::size_t>(t)].push_back(
                    runProcess((dir / "tool").string(), {token}).standardOutput);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int t = 0; t < threadCount; ++t) {
        for (int run = 0; run < runsPerThread; ++run) {
            auto token = std::to_string(t) + "-" + std::to_string(run);
            EXPECT_EQ(outputs[static_cast<std::size_t>(t)][static_cast<std::size_t>(run)],
                      token + "|" + token);
        }
    }
}

}  // namespace
}  // namespace vellinor::platform
