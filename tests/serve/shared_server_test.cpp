// The probe server shared by every program of a user (sniffer --listen), against the sniffer
// with fault switches copied into a folder of the test: programs starting at once get one
// server, another user is refused on both sides, a server of another build is replaced, the
// server ends when idle or told to and leaves nothing behind, and without sharing everything
// is probed as before.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "hostile/hostile_support.h"
#include "json/json.h"
#include "platform/process.h"
#include "probe/file_probe.h"
#include "probe/probe_service.h"
#include "probe/serve_protocol.h"
#include "probe/shared_probe_server.h"
#include "support/captured_diagnostics.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr uid_t kNobody = 65534;

class SharedServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        installTool();
        ::setenv("XDG_RUNTIME_DIR", m_runtime.path().c_str(), 1);
        ::setenv("VELLINOR_FAULT_LOG", log().c_str(), 1);
        ::unsetenv(kNoServerVariable);
        makeTone(m_media / "tone.wav");
    }
    void TearDown() override
    {
        if (auto stopped = stopSharedServer(); !stopped)
            ADD_FAILURE() << stopped.error();
        EXPECT_TRUE(noneLeft(m_tools.path().string())) << "a server or probe was left behind";
        EXPECT_FALSE(fs::exists(socketPath())) << "the socket was left behind";
    }

    // A fresh copy of the faulty sniffer as the tool, put in place the way an install does
    // (a new file renamed over the old one): another build as far as a server can tell.
    void installTool()
    {
        const fs::path fresh = m_tools / "sniffer.new";
        fs::copy_file(VELLINOR_FAULT_SNIFFER, fresh, fs::copy_options::overwrite_existing);
        fs::rename(fresh, m_tools / "sniffer");
    }

    [[nodiscard]] std::string tool() const { return (m_tools / "sniffer").string(); }
    [[nodiscard]] fs::path log() const { return m_tools / "log"; }
    [[nodiscard]] fs::path socketPath() const { return m_runtime / "vellinor/probe.sock"; }
    [[nodiscard]] std::vector<std::string> starts() const
    {
        auto lines = linesOf(fs::exists(log()) ? readFile(log()) : std::string());
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    ProbeServiceOptions options(std::chrono::milliseconds idle = kSharedServerIdle) const
    {
        ProbeServiceOptions options{1, tool(), 30s};
        options.shared = true;
        options.sharedIdle = idle;
        return options;
    }

    std::string media(const std::string& name) const
    {
        const fs::path path = m_media / name;
        if (!fs::exists(path))
            fs::copy_file(m_media / "tone.wav", path);
        return path.string();
    }

    static std::string oneShotOutput(const std::string& path)
    {
        return platform::runProcess(VELLINOR_SNIFFER, FileProbe::toolArguments(path))
            .standardOutput;
    }

    // The running server's process, or 0.
    static pid_t serverPid()
    {
        const auto state = sharedServerState();
        return state && state->running ? state->pid : 0;
    }

    TempDir m_tools;
    TempDir m_runtime;
    TempDir m_media;
};

TEST_F(SharedServer, ProgramsStartingAtOnceShareOneServer)
{
    if (!haveCli())
        GTEST_SKIP() << "built without vellinor-cli";
    TempDir working;
    std::vector<std::string> files;
    for (const char* name : {"one.wav", "two.wav", "three.wav"})
        files.push_back(media(name));
    std::vector<std::string> arguments = {"--no-cache", "-j", "2", "--record"};
    arguments.insert(arguments.end(), files.begin(), files.end());

    std::vector<CliResult> runs(3);
    std::vector<std::thread> threads;
    for (auto& run : runs)
        threads.emplace_back([&] {
            run = runCli(arguments, CliInvocation(working.path())
                                        .with("VELLINOR_RESOURCE_DIR", m_tools.path())
                                        .limit(1min));
        });
    for (auto& thread : threads)
        thread.join();
    for (const CliResult& run : runs) {
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const auto records = JSON::parse(run.out);
        ASSERT_TRUE(records.hasValue()) << run.out.substr(0, 2000);
        ASSERT_EQ(records->count(), files.size());
        for (std::size_t i = 0; i < files.size(); ++i)
            EXPECT_EQ((*records)[i]["numberOfAudioTracks"].intValue(), 1) << files[i];
    }
    // One server started, for everyone; no private server, no one-shot run.
    EXPECT_EQ(starts(), std::vector<std::string>{"listen"});
    EXPECT_NE(serverPid(), 0);
}

TEST_F(SharedServer, AnotherUserIsRefusedOnBothSides)
{
    if (!runningAsRoot())
        GTEST_SKIP() << "needs root to run a client and a server as another user";
    const std::string file = media("tone copy.wav");
    {
        ProbeService service(options());
        EXPECT_EQ(service.run(file).output, oneShotOutput(file));
        ASSERT_EQ(service.counts().sharedConnections, 1u);
    }
    // The folder and socket opened up, so only the server's own check can refuse the client.
    fs::permissions(m_runtime.path(), fs::perms(0755));
    fs::permissions(socketPath().parent_path(), fs::perms(0755));
    fs::permissions(socketPath(), fs::perms(0666));
    const std::string path = socketPath().string();
    const std::string seen = runUnprivileged([path]() -> std::string {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.c_str(), path.size());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            return std::string("no connection: ") + std::strerror(errno);
        pollfd ready{fd, POLLIN, 0};
        char byte = 0;
        const bool answered = ::poll(&ready, 1, 5000) == 1 && ::read(fd, &byte, 1) == 1;
        ::close(fd);
        return answered ? "greeted" : "refused";
    });
    EXPECT_EQ(seen, "refused");
    ASSERT_TRUE(stopSharedServer());
    fs::permissions(socketPath().parent_path(), fs::perms(0700));

    // A server of another user at the socket, greeting as the installed build would: it is
    // neither used nor stopped; the files are probed by a private server, said in one line.
    const int listening = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    ASSERT_EQ(::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const std::string hello =
        std::string(serve_protocol::kSharedHello) + executableIdentity(tool()) + "\n";
    const pid_t foreign = ::fork();
    ASSERT_GE(foreign, 0);
    if (foreign == 0) {
        if (::setuid(kNobody) != 0 || ::listen(listening, 8) != 0)
            ::_exit(1);
        for (;;) {
            const int connection = ::accept(listening, nullptr, nullptr);
            if (connection >= 0 && ::write(connection, hello.data(), hello.size()) < 0)
                ::_exit(1);
        }
    }
    const CapturedDiagnostics captured;
    const std::vector<std::string>& said = captured.lines();
    {
        ProbeService service(options());
        for (const char* name : {"a.wav", "b.wav"}) {
            const std::string other = media(name);
            EXPECT_EQ(service.run(other).output, oneShotOutput(other));
        }
        EXPECT_EQ(service.counts().sharedConnections, 0u);
        EXPECT_EQ(service.counts().serverStarts, 1u);
    }
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("served by another user (uid 65534)"), std::string::npos) << said[0];
    EXPECT_EQ(::kill(foreign, 0), 0) << "the other user's server was stopped";
    ::kill(foreign, SIGKILL);
    ::waitpid(foreign, nullptr, 0);
    ::close(listening);
    fs::remove(socketPath());
}

TEST_F(SharedServer, ServerOfAnotherBuildIsReplaced)
{
    const std::string first = media("first.wav");
    pid_t old = 0;
    {
        ProbeService service(options());
        EXPECT_EQ(service.run(first).output, oneShotOutput(first));
        old = serverPid();
        ASSERT_NE(old, 0);
        // A newer build installed while this client is connected: it stays served.
        installTool();
        const std::string second = media("second.wav");
        EXPECT_EQ(service.run(second).output, oneShotOutput(second));
        EXPECT_EQ(service.counts().sharedConnections, 1u);
    }
    // The next client finds the old server (or none, once it noticed the new build itself)
    // and is served by one of the new build.
    const std::string third = media("third.wav");
    {
        ProbeService service(options());
        EXPECT_EQ(service.run(third).output, oneShotOutput(third));
        EXPECT_EQ(service.counts().sharedConnections, 1u);
        EXPECT_EQ(service.counts().serverStarts, 0u);
    }
    EXPECT_TRUE(processGone(old));
    const auto state = sharedServerState();
    ASSERT_TRUE(state && state->running);
    EXPECT_NE(state->pid, old);
    EXPECT_EQ(state->identity, executableIdentity(tool()));
    EXPECT_EQ(starts(), (std::vector<std::string>{"listen", "listen"}));

    // Replaced again with nobody connected: the server notices on its own and ends.
    installTool();
    EXPECT_TRUE(processGone(state->pid, 10s));
    EXPECT_FALSE(fs::exists(socketPath()));
}

TEST_F(SharedServer, EndsWhenIdleOrStoppedLeavingNothingBehind)
{
    enum class End { idle, stopCommand };
    for (End end : {End::idle, End::stopCommand}) {
        SCOPED_TRACE(end == End::idle ? "idle" : "server stop");
        if (end == End::stopCommand && !haveCli())
            continue;
        const std::string file = media("tone copy.wav");
        pid_t server = 0;
        {
            ProbeService service(options(end == End::idle ? 300ms : kSharedServerIdle));
            EXPECT_EQ(service.run(file).output, oneShotOutput(file));
            server = serverPid();
            ASSERT_NE(server, 0);
            // A client still connected keeps the server, however long it stays quiet.
            std::this_thread::sleep_for(800ms);
            EXPECT_EQ(service.run(file).output, oneShotOutput(file));
            EXPECT_EQ(serverPid(), server);
        }
        if (end == End::stopCommand) {
            TempDir working;
            const CliInvocation how = CliInvocation(working.path())
                                          .with("VELLINOR_RESOURCE_DIR", m_tools.path())
                                          .limit(30s);
            const CliResult status = runCli({"server", "status"}, how);
            EXPECT_EQ(status.out, "The probe server runs as process " + std::to_string(server) +
                                      " on " + socketPath().string() +
                                      "; it stops 60 s after its last client is done.\n");
            const CliResult stop = runCli({"server", "stop"}, how);
            EXPECT_EQ(stop.exitStatus, 0) << stop.err;
            EXPECT_EQ(stop.out,
                      "Stopped the probe server (process " + std::to_string(server) + ").\n");
            EXPECT_EQ(
                runCli({"server", "status"}, how).out,
                "No probe server runs (its socket would be " + socketPath().string() + ").\n");
        }
        EXPECT_TRUE(processGone(server, 5s));
        EXPECT_TRUE(noneLeft(m_tools.path().string()));
        EXPECT_FALSE(fs::exists(socketPath()));
    }
}

// Under an init that reaps late (or never), whatever the server leaves to it stays defunct.
// With the test as subreaper, what would be left to init comes here instead: once stopped with
// a client connected (its per-client server holding a child forked ahead), the server itself
// must be the only process that ended without its parent reaping it.
TEST_F(SharedServer, StoppedWithAClientConnectedLeavesOnlyItselfToReap)
{
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    struct NoLongerSubreaper {
        ~NoLongerSubreaper() { ::prctl(PR_SET_CHILD_SUBREAPER, 0); }
    } reset;
    const std::string file = media("tone copy.wav");
    ProbeService service(options());
    ASSERT_EQ(service.run(file).output, oneShotOutput(file));
    const pid_t server = serverPid();
    ASSERT_NE(server, 0);

    const auto stopped = stopSharedServer();
    ASSERT_TRUE(stopped) << stopped.error();
    // A child orphaned by the stop may take a moment to die.
    std::this_thread::sleep_for(300ms);
    std::vector<pid_t> unreaped;
    for (pid_t pid; (pid = ::waitpid(-1, nullptr, WNOHANG)) > 0;)
        unreaped.push_back(pid);
    EXPECT_EQ(unreaped, std::vector<pid_t>{server});
}

// Cancel during a hung probe on the shared server: the connection closes, the server ends that
// request's child (only the server itself is left), and the file is not asked again.
TEST_F(SharedServer, CancelEndsAHungProbeOnTheServer)
{
    const std::string file = media("tone copy.wav");
    ProbeService service(options());
    ASSERT_EQ(service.run(file).output, oneShotOutput(file));
    const pid_t server = serverPid();
    ASSERT_NE(server, 0);

    std::atomic<bool> cancelled{false};
    std::thread cancel([&] {
        std::this_thread::sleep_for(500ms);
        cancelled = true;
    });
    const auto start = std::chrono::steady_clock::now();
    const ToolRun run = service.runCancellable(media("hang.wav"), &cancelled);
    cancel.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_TRUE(run.status.failedWith(ErrorKind::cancelled));
    EXPECT_EQ(run.problemText(), "the probe was cancelled");
    EXPECT_EQ(service.counts().oneShot, 0u);
    bool onlyServer = false;
    for (int i = 0; i < 500 && !onlyServer; ++i) {
        onlyServer = processesMentioning(m_tools.path().string()) == std::vector<int>{server};
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(onlyServer) << "the hung probe still runs";
    EXPECT_EQ(service.run(file).output, oneShotOutput(file));
}

TEST_F(SharedServer, WithoutSharingFilesGoToPrivateServers)
{
    if (!haveCli())
        GTEST_SKIP() << "built without vellinor-cli";
    // A runtime folder whose "vellinor" is a file: the server's folder cannot be had.
    TempDir blocked;
    writeFile(blocked / "vellinor", "");
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> environment;
        bool noServerFlag;
        std::string said;  // the end of the one line on standard error, if any
    };
    const Case cases[] = {
        {"--no-server", {}, true, ""},
        {"VELLINOR_NO_SERVER", {{kNoServerVariable, "1"}}, false, ""},
        {"no runtime folder", {{"XDG_RUNTIME_DIR", ""}}, false, ""},
        {"a runtime folder that is a file",
         {{"XDG_RUNTIME_DIR", (m_media / "tone.wav").string()}},
         false,
         ""},
        {"an unusable server folder",
         {{"XDG_RUNTIME_DIR", blocked.path().string()}},
         false,
         ": the shared probe server cannot be used (" + (blocked / "vellinor").string() +
             " is not a folder of this user); probing with private servers\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(log());
        TempDir working;
        CliInvocation how(working.path());
        how.with("VELLINOR_RESOURCE_DIR", m_tools.path()).limit(1min);
        for (const auto& [name, value] : c.environment)
            how.with(name, value);
        std::vector<std::string> arguments = {"--no-cache", "-j", "2", "--record"};
        if (c.noServerFlag)
            arguments.push_back("--no-server");
        for (const char* name : {"a.wav", "b.wav", "c.wav"})
            arguments.push_back(media(name));
        const CliResult run = runCli(arguments, how);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        if (c.said.empty()) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_TRUE(run.err.ends_with(c.said)) << run.err;
            EXPECT_EQ(linesOf(run.err).size(), 1u) << run.err;
        }
        const auto records = JSON::parse(run.out);
        ASSERT_TRUE(records.hasValue()) << run.out.substr(0, 2000);
        EXPECT_EQ(records->count(), 3u);
        EXPECT_EQ(starts(), (std::vector<std::string>{"serve", "serve"}));
        EXPECT_EQ(serverPid(), 0);
    }
}

}  // namespace
}  // namespace vellinor::test
