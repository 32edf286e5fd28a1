// The fork server and ProbeService against a sniffer with fault switches (fault_sniffer.cpp):
// a file that crashes, hangs or floods its probe, a server that dies between or under requests,
// a tool that is no server. Each time only the right file is blamed, every other answer is the
// one a one-shot run gives, and no process is left behind.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "hostile/hostile_support.h"
#include "json/json.h"
#include "platform/process.h"
#include "probe/file_probe.h"
#include "probe/one_shot_tool_runner.h"
#include "probe/probe_service.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::vector<int> childrenOf(int parent)
{
    std::vector<int> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string stat;
        const int fd = ::open((entry.path() / "stat").c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        char chunk[1024];
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        ::close(fd);
        if (got > 0)
            stat.assign(chunk, static_cast<std::size_t>(got));
        // "pid (name) state ppid ...": the name may hold anything but ends at the last ')'.
        const auto close = stat.rfind(')');
        if (close != std::string::npos && stat.size() > close + 4 &&
            std::atoi(stat.c_str() + close + 4) == parent)
            found.push_back(std::stoi(name));
    }
    return found;
}

// Our own servers: children of this test process started with --serve.
std::vector<int> servers()
{
    std::vector<int> found;
    for (int pid : childProcesses()) {
        if (commandLine("/proc/" + std::to_string(pid)).find("--serve") != std::string::npos)
            found.push_back(pid);
    }
    return found;
}

// The faulty sniffer as the resource "sniffer" of its own folder, and media whose names pick
// the faults. Every process it starts mentions the folder on its command line.
class Serve : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_symlink(VELLINOR_FAULT_SNIFFER, m_tools / "sniffer");
        makeTone(m_media / "tone.wav");
    }
    void TearDown() override
    {
        EXPECT_TRUE(noneLeft(m_tools.path().string())) << "a server or probe was left behind";
    }

    [[nodiscard]] std::string tool() const { return (m_tools / "sniffer").string(); }

    // A copy of the tone under `name`.
    std::string media(const std::string& name) const
    {
        const fs::path path = m_media / name;
        if (!fs::exists(path))
            fs::copy_file(m_media / "tone.wav", path);
        return path.string();
    }

    ProbeServiceOptions options(unsigned servers = 1, std::chrono::milliseconds timeout = 30s)
    {
        return {servers, tool(), timeout};
    }

    // What a one-shot run of `tool` (our sniffer unless named) prints for the file.
    static std::string oneShotOutput(const std::string& path,
                                     const std::string& tool = VELLINOR_SNIFFER)
    {
        return platform::runProcess(tool, FileProbe::toolArguments(path)).standardOutput;
    }

    TempDir m_tools;
    TempDir m_media;
};

TEST_F(Serve, AnswersAreTheOneShotDocumentsForAnyName)
{
    ProbeService service(options(2));
    const std::vector<std::string> files = {media("one.wav"), media("two\nlines é \xff.wav"),
                                            media("-dash.wav"), media("three.wav")};
    std::vector<ToolRun> runs(files.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < files.size(); ++i)
        threads.emplace_back([&, i] { runs[i] = service.run(files[i]); });
    for (auto& thread : threads)
        thread.join();
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i]);
        EXPECT_EQ(runs[i].problemText(), "");
        EXPECT_EQ(runs[i].output, oneShotOutput(files[i]));
        EXPECT_NE(runs[i].output.find("\"codec_type\": \"audio\""), std::string::npos);
    }
    EXPECT_EQ(service.counts().served, files.size());
    EXPECT_EQ(service.counts().oneShot, 0u);
    EXPECT_EQ(service.counts().serverStarts, 2u);
    EXPECT_EQ(service.identity(), tool() + "\nfault_sniffer 1 (tests only)");

    // The sniffer itself serves the same way.
    ProbeService real({1, VELLINOR_SNIFFER, 30s});
    EXPECT_EQ(real.run(files[1]).output, runs[1].output);
    EXPECT_EQ(real.counts().served, 1u);
    EXPECT_TRUE(real.identity().starts_with(VELLINOR_SNIFFER "\nsniffer ")) << real.identity();
}

TEST_F(Serve, FaultsBlameOnlyTheirOwnFile)
{
    struct Case {
        const char* name;
        const char* toolProblem;  // empty: the one-shot document is expected
    };
    const Case batch[] = {
        {"first.wav", ""},  {"crash.wav", "the probe tool was killed by signal 11"},
        {"second.wav", ""}, {"hang.wav", "the probe tool timed out after 3 s"},
        {"third.wav", ""},  {"flood.wav", "the probe tool printed more than 32 MiB"},
        {"fourth.wav", ""},
    };
    ProbeService service(options(1, 3s));
    for (const Case& c : batch) {
        SCOPED_TRACE(c.name);
        const std::string path = media(c.name);
        const ToolRun run = service.run(path);
        EXPECT_EQ(run.problemText(), c.toolProblem);
        EXPECT_EQ(run.output, *c.toolProblem == '\0' ? oneShotOutput(path) : "");
    }
    // One server did it all: no file cost it its life.
    EXPECT_EQ(service.counts().served, std::size(batch));
    EXPECT_EQ(service.counts().serverStarts, 1u);
}

TEST_F(Serve, ServerThatDiesIsReplacedWithoutBlamingAFile)
{
    ProbeService service(options());
    const std::string before = media("before.wav");
    EXPECT_EQ(service.run(before).output, oneShotOutput(before));

    // Killed between two requests.
    const auto running = servers();
    ASSERT_EQ(running.size(), 1u);
    ::kill(running[0], SIGKILL);
    const std::string after = media("after.wav");
    const ToolRun next = service.run(after);
    EXPECT_EQ(next.problemText(), "");
    EXPECT_EQ(next.output, oneShotOutput(after));
    EXPECT_EQ(service.counts().serverStarts, 2u);

    // The child a server keeps ready for the next file, killed before it takes one: the file
    // goes to a fresh child of the same server.
    std::vector<int> spares;
    for (int i = 0; i < 500 && spares.empty(); ++i) {
        std::this_thread::sleep_for(10ms);  // it is forked once the last answer is out
        spares = childrenOf(servers().at(0));
    }
    ASSERT_EQ(spares.size(), 1u);
    ::kill(spares[0], SIGKILL);
    const std::string afterSpare = media("after spare.wav");
    const ToolRun spared = service.run(afterSpare);
    EXPECT_EQ(spared.problemText(), "");
    EXPECT_EQ(spared.output, oneShotOutput(afterSpare));
    EXPECT_EQ(service.counts().serverStarts, 2u);

    // Killed under a request, by the file itself, on the fresh server too: the file goes to a
    // one-shot run, which probes it; the next file has a server again.
    const std::string killer = media("killserver.wav");
    const ToolRun killed = service.run(killer);
    EXPECT_EQ(killed.problemText(), "");
    EXPECT_EQ(killed.output, oneShotOutput(killer));
    EXPECT_EQ(service.counts().oneShot, 1u);
    const std::string last = media("last.wav");
    EXPECT_EQ(service.run(last).output, oneShotOutput(last));
    EXPECT_EQ(service.counts().served, 4u);
    EXPECT_EQ(service.counts().serverStarts, 4u);
}

// The one child a server keeps waiting for the next file.
int waitingChild()
{
    std::vector<int> children;
    for (int i = 0; i < 500 && children.size() != 1; ++i) {
        std::this_thread::sleep_for(10ms);
        children = childrenOf(servers().at(0));
    }
    return children.size() == 1 ? children[0] : -1;
}

TEST_F(Serve, ChildTakesFilesInTurnWhileTheyAreClean)
{
    writeFile(m_media / "damaged.wav", "RIFF, but nothing after it");
    struct Case {
        const char* name;
        const char* toolProblem;  // empty: the one-shot document is expected
        bool sameChildAfter;      // the child that answered waits for the next file
    };
    // Each fault comes as the second file of its child.
    const Case batch[] = {
        {"first.wav", "", true},
        {"second.wav", "", true},
        {"crash.wav", "the probe tool was killed by signal 11", false},
        {"third.wav", "", true},
        {"hang.wav", "the probe tool timed out after 3 s", false},
        {"fourth.wav", "", true},
        {"flood.wav", "the probe tool printed more than 32 MiB", false},
        {"fifth.wav", "", true},
        {"damaged.wav", "", false},
        {"escape-socket.wav", "the probe tool was stopped by its sandbox: socket", false},
        {"sixth.wav", "", true},
    };
    ProbeService service(options(1, 3s));
    service.run(media("warm.wav"));
    for (const Case& c : batch) {
        SCOPED_TRACE(c.name);
        const int before = waitingChild();
        ASSERT_GT(before, 0);
        const std::string path = media(c.name);
        const ToolRun run = service.run(path);
        EXPECT_EQ(run.problemText(), c.toolProblem);
        EXPECT_EQ(run.output, *c.toolProblem == '\0' ? oneShotOutput(path) : "");
        EXPECT_EQ(waitingChild() == before, c.sameChildAfter);
    }
    EXPECT_EQ(service.counts().serverStarts, 1u);
}

TEST_F(Serve, StoppedSpareChildCostsTheNextFileNothing)
{
    ProbeService service(options(1, 3s));
    const std::string first = media("first.wav");
    EXPECT_EQ(service.run(first).output, oneShotOutput(first));
    std::vector<int> spares;
    for (int i = 0; i < 500 && spares.empty(); ++i) {
        std::this_thread::sleep_for(10ms);
        spares = childrenOf(servers().at(0));
    }
    ASSERT_EQ(spares.size(), 1u);
    ::kill(spares[0], SIGSTOP);
    const std::string innocent = media("innocent.wav");
    const ToolRun run = service.run(innocent);
    EXPECT_EQ(run.problemText(), "");
    EXPECT_EQ(run.output, oneShotOutput(innocent));
    EXPECT_EQ(service.counts().serverStarts, 1u);
}

TEST_F(Serve, ToolThatIsNoServerIsRunOncePerFile)
{
    const std::string file = media("plain.wav");
    const std::string expected = oneShotOutput(file, ffprobePath());
    writeScript(m_tools / "hangs",
                "[ \"$1\" = --serve ] && exec sleep 60\nexec '" + ffprobePath() + "' \"$@\"");
    struct Case {
        const char* what;
        std::string toolPath;
        std::chrono::milliseconds timeout;
        std::size_t serverStarts;
    };
    const Case cases[] = {
        {"rejects --serve", ffprobePath(), 30s, 2},
        // Long enough for the one-shot runs that follow to finish on a loaded machine.
        {"never greets", (m_tools / "hangs").string(), 3s, 2},
        {"cannot start", (m_tools / "missing").string(), 30s, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ProbeService service({2, c.toolPath, c.timeout});
        for (int i = 0; i < 3; ++i) {
            const ToolRun run = service.run(file);
            if (c.serverStarts == 0) {
                EXPECT_TRUE(run.problemText().starts_with("could not start the probe tool: "))
                    << run.problemText();
            } else {
                EXPECT_EQ(run.problemText(), "");
                EXPECT_EQ(run.output, expected);
            }
        }
        EXPECT_EQ(service.counts().served, 0u);
        EXPECT_EQ(service.counts().oneShot, 3u);
        // Both servers were started at once, and neither again.
        EXPECT_EQ(service.counts().serverStarts, c.serverStarts);
    }

    // A stock tool named by the environment is never asked to serve.
    ::setenv("VELLINOR_PROBE_TOOL", tool().c_str(), 1);
    ProbeService stock({2, "", 30s});
    ::unsetenv("VELLINOR_PROBE_TOOL");
    EXPECT_EQ(stock.run(file).output, oneShotOutput(file));
    EXPECT_EQ(stock.counts().serverStarts, 0u);
    EXPECT_EQ(stock.counts().oneShot, 1u);
}

TEST_F(Serve, ClientThatDiesTakesItsServersAndProbesWithIt)
{
    const std::string hanging = media("hang.wav");
    const pid_t client = ::fork();
    ASSERT_GE(client, 0);
    if (client == 0) {
        ProbeService service(options(2));
        service.run(hanging);  // hangs for 30 s
        ::_exit(0);
    }
    // Until the probe of the hanging file runs: two servers, the child probing that file, and
    // the other server's spare child waiting for a file.
    for (int i = 0; i < 500 && processesMentioning(m_tools.path().string()).size() < 4; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(processesMentioning(m_tools.path().string()).size(), 4u);
    ::kill(client, SIGKILL);
    ::waitpid(client, nullptr, 0);
    // TearDown finds nothing left.
}

// Cancel during a hung probe: the run answers at once, the server's child probing the file is
// ended with its server (TearDown finds nothing left), and the file is asked again of no
// server and no one-shot run; the next file is probed as usual.
TEST_F(Serve, CancelEndsAHungProbeAndIsNotRetried)
{
    const std::string hanging = media("hang.wav");
    ProbeService service(options(1, 60s));
    std::atomic<bool> cancelled{false};
    std::thread cancel([&] {
        // The server and its child (forked ahead, it takes the file).
        for (int i = 0; i < 500 && processesMentioning(m_tools.path().string()).size() < 2; ++i)
            std::this_thread::sleep_for(10ms);
        std::this_thread::sleep_for(200ms);
        cancelled = true;
    });
    const auto start = std::chrono::steady_clock::now();
    const ToolRun run = service.runCancellable(hanging, &cancelled);
    cancel.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_TRUE(run.status.failedWith(ErrorKind::cancelled));
    EXPECT_EQ(run.problemText(), "the probe was cancelled");
    EXPECT_EQ(run.output, "");
    EXPECT_TRUE(noneLeft(m_tools.path().string())) << "the hung probe still runs";
    EXPECT_EQ(service.counts().served, 0u);
    EXPECT_EQ(service.counts().oneShot, 0u);
    EXPECT_EQ(service.counts().serverStarts, 1u);

    const std::string next = media("next.wav");
    EXPECT_EQ(service.run(next).output, oneShotOutput(next));
    EXPECT_EQ(service.counts().serverStarts, 2u);
}

TEST_F(Serve, SandboxStopsEveryEscapeAndBlamesOnlyItsFile)
{
#if defined(__SANITIZE_ADDRESS__)
    // Sanitizer builds refuse forks and program starts with an error, so a sanitizer report
    // can still be printed; the file is then probed as usual.
    const char* const startRefused = "";
#else
    const char* const startRefused = nullptr;
#endif
    struct Case {
        const char* action;
        const char* call;  // the call named; "" when it fails softly instead
    };
    const Case cases[] = {
        {"openwrite", "openat"},
        {"create", "openat"},
        {"unlink", "unlink"},
        {"socket", "socket"},
        {"connect", "connect"},
        {"execve", startRefused ? startRefused : "execve"},
        {"fork", startRefused ? startRefused : "clone"},
        {"killparent", "kill"},
        {"ptrace", "ptrace"},
    };
    const fs::path victim = m_media / "victim.txt";
    writeFile(victim, "untouched");
    ProbeService service(options(1, 10s));
    OneShotToolRunner oneShot(tool(), 10s);
    for (ToolRunner* runner :
         {static_cast<ToolRunner*>(&service), static_cast<ToolRunner*>(&oneShot)}) {
        for (const Case& c : cases) {
            const std::string path = media(std::string("escape-") + c.action + ".wav");
            SCOPED_TRACE(path);
            const ToolRun run = runner->run(path);
            if (*c.call == '\0') {
                EXPECT_EQ(run.problemText(), "");
                EXPECT_EQ(run.output, oneShotOutput(path));
            } else {
                EXPECT_EQ(run.problemText(),
                          std::string("the probe tool was stopped by its sandbox: ") + c.call);
                EXPECT_EQ(run.output, "");
            }
            // The next file is not touched by what the last one did.
            const std::string good = media("good.wav");
            const ToolRun next = runner->run(good);
            EXPECT_EQ(next.problemText(), "");
            EXPECT_EQ(next.output, oneShotOutput(good));
        }
    }
    EXPECT_EQ(readFile(victim), "untouched");
    EXPECT_FALSE(fs::exists(m_media / "created.txt"));
    // The server outlived every attempt on it.
    EXPECT_EQ(service.counts().served, std::size(cases) * 2);
    EXPECT_EQ(service.counts().serverStarts, 1u);
}

// ---- through vellinor-cli ----

TEST_F(Serve, CommandLineBatchKeepsEveryOtherRecordInOrder)
{
    if (!haveCli())
        GTEST_SKIP() << "built without vellinor-cli";
    struct Case {
        const char* name;
        const char* problem;  // empty: a valid record
    };
    const Case batch[] = {
        {"01.wav", ""},
        {"02 crash.wav", "the probe tool was killed by signal 11"},
        {"03.wav", ""},
        {"04 hang.wav", "the probe tool timed out after 3 s"},
        {"05.wav", ""},
        {"06 killserver.wav", ""},
        {"07 flood.wav", "the probe tool printed more than 32 MiB"},
        {"08.wav", ""},
        {"09.wav", ""},
    };
    std::vector<std::string> arguments = {"--no-cache", "-j", "2", "--record", "--timeout", "3"};
    std::string expectedErrors;
    for (const Case& c : batch) {
        arguments.push_back(media(c.name));
        if (*c.problem != '\0')
            expectedErrors += "vellinor-cli: " + media(c.name) + ": " + c.problem + "\n";
    }
    TempDir working;
    const fs::path log = m_tools / "log";
    const CliResult run = runCli(arguments, CliInvocation(working.path())
                                                .with("VELLINOR_RESOURCE_DIR", m_tools.path())
                                                .with("VELLINOR_FAULT_LOG", log)
                                                .limit(std::chrono::minutes(2)));
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, expectedErrors);
    const auto records = JSON::parse(run.out);
    ASSERT_TRUE(records.hasValue()) << run.out.substr(0, 2000);
    ASSERT_EQ(records->count(), std::size(batch));
    for (std::size_t i = 0; i < std::size(batch); ++i) {
        const Case& c = batch[i];
        SCOPED_TRACE(c.name);
        const JSON record = (*records)[i];
        EXPECT_EQ(record["path"].stringValue(), media(c.name));
        const bool valid = *c.problem == '\0';
        EXPECT_EQ(record["toolProblem"].stringValue(), c.problem);
        EXPECT_EQ(record["isValidMediaFile"], JSON(valid));
        EXPECT_EQ(record["numberOfAudioTracks"].intValue(), valid ? 1 : 0);
    }
    // Two servers did the work; the file that kills its server took a fresh one with it too and
    // was then probed on its own; a fourth took that slot's later files.
    auto lines = linesOf(readFile(log));
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"once 06 killserver.wav", "serve", "serve", "serve",
                                               "serve"}));
}

}  // namespace
}  // namespace vellinor::test
