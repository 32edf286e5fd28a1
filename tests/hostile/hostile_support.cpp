#include "hostile_support.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "platform/process.h"
#include "support/test_support.h"

namespace vellinor::test {

namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

// The state letter and parent of a process from /proc/<pid>/stat, whose second field (the
// command name, in parentheses) may hold blanks and parentheses itself.
struct ProcessStat {
    char state = '?';
    int parent = 0;
};

std::optional<ProcessStat> readStat(int pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line))
        return std::nullopt;
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::istringstream rest(line.substr(close + 1));
    ProcessStat stat;
    rest >> stat.state >> stat.parent;
    return stat;
}

void writeAll(int fd, const std::string& text)
{
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        written += static_cast<std::size_t>(n);
    }
}

void onHang(int)
{
    static const char message[] = "\nHangGuard: the test did not finish in time (it hangs)\n";
    [[maybe_unused]] auto ignored = ::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(124);
}

}  // namespace

// ---- vellinor-cli ----

bool haveCli()
{
#ifdef VELLINOR_CLI_PATH
    return std::filesystem::exists(VELLINOR_CLI_PATH);
#else
    return false;
#endif
}

std::string cliPath()
{
#ifdef VELLINOR_CLI_PATH
    return VELLINOR_CLI_PATH;
#else
    return {};
#endif
}

CliResult runCli(const std::vector<std::string>& arguments, const CliInvocation& how)
{
    // The process runner (already tested on its own) runs a small shell that enters the folder,
    // keeps standard error in a file outside it, and becomes the program: arguments pass as a
    // list, never through the shell's parsing.
    TempDir errors;
    const auto errorFile = errors / "stderr";
    std::vector<std::string> command{"-c",
                                     R"(cd "$1" || exit 97; err=$2; shift 2; exec "$@" 2>"$err")",
                                     "run-cli", how.workingDirectory.string(), errorFile.string()};
    if (how.asNobody && runningAsRoot()) {
        command.insert(command.end(),
                       {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
    }
    command.push_back("env");
    if (how.asNobody && runningAsRoot()) {
        // The test process's cache folder belongs to root: nobody gets one of its own.
        const auto cache = errors / "cache";
        std::filesystem::create_directory(cache);
        ::chmod(errors.path().c_str(), 0755);
        ::chmod(cache.c_str(), 0777);
        command.push_back("XDG_CACHE_HOME=" + cache.string());
    }
    for (const auto& [name, value] : how.environment)
        command.push_back(name + "=" + value);
    command.push_back(cliPath());
    command.insert(command.end(), arguments.begin(), arguments.end());

    platform::ProcessOptions options;
    options.timeout = how.timeout;
    const auto start = std::chrono::steady_clock::now();
    auto run = platform::runProcess("/bin/sh", command, options);
    CliResult result;
    result.seconds = secondsSince(start);
    result.finished = run.outcome == platform::ProcessResult::Outcome::exited ||
                      run.outcome == platform::ProcessResult::Outcome::signaled;
    if (run.outcome == platform::ProcessResult::Outcome::exited)
        result.exitStatus = run.exitCode;
    result.out = std::move(run.standardOutput);
    result.err = readFile(errorFile);
    return result;
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// ---- processes ----

std::vector<int> childProcesses()
{
    std::vector<int> children;
    const int self = ::getpid();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit))
            continue;
        const int pid = std::stoi(name);
        if (auto stat = readStat(pid); stat && stat->parent == self)
            children.push_back(pid);
    }
    return children;
}

std::string commandLine(const std::filesystem::path& proc)
{
    std::string text;
    const int fd = ::open((proc / "cmdline").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char chunk[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, chunk, sizeof chunk)) > 0)
        text.append(chunk, static_cast<std::size_t>(got));
    ::close(fd);
    return text;
}

std::vector<int> processesMentioning(const std::string& needle)
{
    std::vector<int> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        if (commandLine(entry.path()).find(needle) != std::string::npos)
            found.push_back(std::stoi(name));
    }
    return found;
}

bool noneLeft(const std::string& needle)
{
    for (int i = 0; i < 500; ++i) {
        if (processesMentioning(needle).empty())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

bool processGone(int pid, std::chrono::milliseconds grace)
{
    const auto deadline = std::chrono::steady_clock::now() + grace;
    for (;;) {
        const auto stat = readStat(pid);
        if (!stat || stat->state == 'Z' || stat->state == 'X')
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::vector<int> recordedProcessIds(const std::filesystem::path& file)
{
    std::vector<int> ids;
    std::ifstream in(file);
    for (int pid = 0; in >> pid;)
        ids.push_back(pid);
    return ids;
}

// ---- files ----

std::vector<std::string> folderEntries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void makeTone(const std::filesystem::path& path)
{
    runFfmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=8000:duration=0.1", "-c:a",
               "pcm_s16le", "-f", "wav", path.string()});
}

// ---- guards ----

HangGuard::HangGuard(std::chrono::seconds limit)
{
    ::signal(SIGALRM, onHang);
    ::alarm(static_cast<unsigned>(limit.count()));
}

HangGuard::~HangGuard()
{
    ::alarm(0);
    ::signal(SIGALRM, SIG_DFL);
}

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

std::string runUnprivileged(const std::function<std::string()>& work)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return "pipe failed";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        if (runningAsRoot() &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNoGroup) != 0 || ::setuid(kNobody) != 0)) {
            writeAll(channel[1], std::string("could not drop privileges: ") + std::strerror(errno));
            ::_exit(1);
        }
        writeAll(channel[1], work());
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(channel[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return text;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace vellinor::test
