#pragma once

// Helpers of the hostile-input tests: running vellinor-cli the way a shell would (in a chosen
// folder, with chosen environment, standard error kept apart), looking for processes left
// behind, guards that turn a hang into a failure, and running code as an unprivileged user.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vellinor::test {

// ---- vellinor-cli ----

// False when the build has no command line (VELLINOR_CLI off).
bool haveCli();
std::string cliPath();

// How to run it: CliInvocation(folder).with("NO_COLOR", "1").limit(60s)
struct CliInvocation {
    explicit CliInvocation(std::filesystem::path folder) : workingDirectory(std::move(folder)) {}
    CliInvocation& with(std::string name, std::string value)
    {
        environment.emplace_back(std::move(name), std::move(value));
        return *this;
    }
    CliInvocation& limit(std::chrono::milliseconds time)
    {
        timeout = time;
        return *this;
    }
    CliInvocation& unprivileged()
    {
        asNobody = true;
        return *this;
    }

    std::filesystem::path workingDirectory;                        // must exist
    std::vector<std::pair<std::string, std::string>> environment;  // added to the test's own
    std::chrono::milliseconds timeout{std::chrono::minutes(2)};
    bool asNobody = false;  // when running as root: drop to the user nobody first
};

struct CliResult {
    bool finished = false;  // false: still running at the time limit, killed
    int exitStatus = -1;    // -1 unless it exited normally
    std::string out;
    std::string err;
    double seconds = 0.0;
};

CliResult runCli(const std::vector<std::string>& arguments, const CliInvocation& how);

// The lines of a text, without their line breaks.
std::vector<std::string> linesOf(const std::string& text);

// ---- processes ----

// The processes whose parent is this test process, zombies included.
std::vector<int> childProcesses();
// True when no process with this id runs any more (gone, or dead and waiting to be reaped)
// within `grace`: a process sent SIGKILL ends a moment after the kill call returns.
bool processGone(int pid, std::chrono::milliseconds grace = std::chrono::seconds(5));
// The command line of the process whose /proc folder is `proc`, its arguments NUL-separated.
std::string commandLine(const std::filesystem::path& proc);
// Live processes whose command line mentions `needle` (zombies do not count: their command
// line is empty).
std::vector<int> processesMentioning(const std::string& needle);
// Waits a little (up to 5 s) for processes that were just killed or told to end to go.
bool noneLeft(const std::string& needle);
// Process ids written one per line to `file` by a fake tool; an absent file gives none.
std::vector<int> recordedProcessIds(const std::filesystem::path& file);

// ---- files ----

// The names in a folder, sorted.
std::vector<std::string> folderEntries(const std::filesystem::path& folder);

// A 0.1 s mono tone as a WAV file: the smallest real media, made in a few milliseconds.
void makeTone(const std::filesystem::path& path);

// ---- guards ----

// Ends the test process with a message if the guarded scope has not finished in time, so a
// blocking call fails the test instead of hanging it.
class HangGuard {
public:
    explicit HangGuard(std::chrono::seconds limit);
    ~HangGuard();
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;
};

// Runs `work` in a child process as the user nobody when this process is root (and as this
// user otherwise) and gives back the text it returned. Used where root would read what an
// ordinary user cannot.
std::string runUnprivileged(const std::function<std::string()>& work);
bool runningAsRoot();

double secondsSince(std::chrono::steady_clock::time_point start);

}  // namespace vellinor::test
