// Figures for the probe servers, printed as "name value" lines (bench/compare.sh reads them).
//
//   serve_bench latency SNIFFER FILE [RUNS]
//       medians in ms for one small file: probing it in this process (the floor: no process
//       at all), a fork that only exits (what a child costs before it probes), the same fork
//       entering the sandbox before it exits (what confining a child adds), a warm server's
//       answer through ProbeService, and a one-shot run of SNIFFER
//   serve_bench memory SNIFFER FILE...
//       one warm server through every file: its resident memory after the first 100 files and
//       at the end, its peak, its descriptors and ours, and how many answers came back

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "probe/one_shot_tool_runner.h"
#include "probe/probe_service.h"
#include "sniffer/probe_document.h"
#include "sniffer/sandbox.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string readText(const std::string& path)
{
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    char chunk[4096];
    ssize_t got = 0;
    while (fd >= 0 && (got = ::read(fd, chunk, sizeof chunk)) > 0)
        text.append(chunk, static_cast<std::size_t>(got));
    if (fd >= 0)
        ::close(fd);
    return text;
}

// CPU time of this process and its reaped children, in ms.
double cpuMilliseconds()
{
    rusage self{};
    rusage children{};
    ::getrusage(RUSAGE_SELF, &self);
    ::getrusage(RUSAGE_CHILDREN, &children);
    auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(self.ru_utime) + ms(self.ru_stime) + ms(children.ru_utime) + ms(children.ru_stime);
}

// CPU time of another process and its reaped children (utime, stime, cutime, cstime), in ms.
double cpuMilliseconds(pid_t pid)
{
    const std::string text = readText("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 17 && fields >> field; ++i) {
        if (i >= 14)
            ticks += std::stod(field);
    }
    return ticks * 1e3 / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double medianMilliseconds(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The one child of this process started with --serve.
pid_t serverPid()
{
    const std::string self = std::to_string(::getpid());
    DIR* proc = ::opendir("/proc");
    pid_t found = 0;
    while (dirent* entry = proc != nullptr ? ::readdir(proc) : nullptr) {
        const std::string name = entry->d_name;
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream status("/proc/" + name + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("PPid:", 0) == 0 && line.substr(line.find_last_of(" \t") + 1) == self)
                found = static_cast<pid_t>(std::stol(name));
        }
    }
    if (proc != nullptr)
        ::closedir(proc);
    return found;
}

// A "VmRSS:" or "VmHWM:" figure of /proc/PID/status, in KB.
long statusKilobytes(pid_t pid, const std::string& key)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(key.size()));
    }
    return -1;
}

long descriptors(pid_t pid)
{
    long count = 0;
    if (DIR* folder = ::opendir(("/proc/" + std::to_string(pid) + "/fd").c_str())) {
        while (::readdir(folder) != nullptr)
            ++count;
        ::closedir(folder);
    }
    return count - 2;  // "." and ".."
}

int latency(const std::string& sniffer, const std::string& file, int runs)
{
    av_log_set_level(AV_LOG_QUIET);
    // Wall medians suffer on a loaded machine; the CPU time per file (a mean) much less.
    double cpu = cpuMilliseconds();
    std::printf("in_process_ms %.3f\n", medianMilliseconds(runs, [&] {
                    std::string document;
                    sniffer::writeProbeDocument(file.c_str(), document);
                }));
    std::printf("in_process_cpu_ms %.3f\n", (cpuMilliseconds() - cpu) / runs);
    cpu = cpuMilliseconds();
    std::printf("fork_exit_ms %.3f\n", medianMilliseconds(runs, [] {
                    const pid_t child = ::fork();
                    if (child == 0)
                        ::_exit(0);
                    ::waitpid(child, nullptr, 0);
                }));
    std::printf("fork_exit_cpu_ms %.3f\n", (cpuMilliseconds() - cpu) / runs);
    // Prepared once, as the server does before it forks; each child only applies it.
    if (auto prepared = sniffer::prepareSandbox(); !prepared) {
        std::fprintf(stderr, "serve_bench: %s\n", prepared.error().c_str());
        return 1;
    }
    cpu = cpuMilliseconds();
    std::printf("fork_sandbox_exit_ms %.3f\n", medianMilliseconds(runs, [] {
                    const pid_t child = ::fork();
                    if (child == 0)
                        ::_exit(sniffer::enterSandbox() ? 0 : 1);
                    ::waitpid(child, nullptr, 0);
                }));
    std::printf("fork_sandbox_exit_cpu_ms %.3f\n", (cpuMilliseconds() - cpu) / runs);
    vellinor::ProbeService service({1, sniffer, std::chrono::seconds(60)});
    service.run(file);  // the server has greeted
    const pid_t server = serverPid();
    cpu = cpuMilliseconds();
    const double serverCpu = cpuMilliseconds(server);
    std::printf("warm_server_ms %.3f\n", medianMilliseconds(runs, [&] { service.run(file); }));
    std::printf("warm_server_cpu_ms %.3f\n",
                (cpuMilliseconds() - cpu + cpuMilliseconds(server) - serverCpu) / runs);
    std::printf("served %zu\n", service.counts().served);
    vellinor::OneShotToolRunner oneShot(sniffer);
    std::printf("one_shot_ms %.3f\n",
                medianMilliseconds(std::max(runs / 5, 5), [&] { oneShot.run(file); }));
    return 0;
}

int memory(const std::string& sniffer, const std::vector<std::string>& files)
{
    const long ownBefore = descriptors(::getpid());
    vellinor::ProbeService service({1, sniffer, std::chrono::seconds(60)});
    std::size_t answered = 0;
    long after100 = -1;
    pid_t server = 0;
    long serverFds = -1;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!service.run(files[i]).output.empty())
            ++answered;
        if (i + 1 == 100) {
            server = serverPid();
            after100 = statusKilobytes(server, "VmRSS:");
            serverFds = descriptors(server);
        }
    }
    if (server == 0)
        server = serverPid();
    std::printf("files %zu\nanswered %zu\n", files.size(), answered);
    std::printf("server_rss_after_100_kb %ld\n", after100);
    std::printf("server_rss_end_kb %ld\n", statusKilobytes(server, "VmRSS:"));
    std::printf("server_peak_kb %ld\n", statusKilobytes(server, "VmHWM:"));
    std::printf("server_fds_after_100 %ld\nserver_fds_end %ld\n", serverFds, descriptors(server));
    std::printf("client_fds_before %ld\nclient_fds_end %ld\n", ownBefore, descriptors(::getpid()));
    std::printf("server_starts %zu\none_shot_runs %zu\n", service.counts().serverStarts,
                service.counts().oneShot);
    return answered == files.size() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() >= 3 && arguments[0] == "latency")
        return latency(arguments[1], arguments[2],
                       arguments.size() > 3 ? std::stoi(arguments[3]) : 200);
    if (arguments.size() >= 3 && arguments[0] == "memory")
        return memory(arguments[1], {arguments.begin() + 2, arguments.end()});
    std::fputs("usage: serve_bench latency SNIFFER FILE [RUNS] | memory SNIFFER FILE...\n", stderr);
    return 2;
}
