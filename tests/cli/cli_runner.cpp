#include "cli_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include <gtest/gtest.h>

namespace vellinor::test {
namespace {

void closeIfOpen(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Reads both descriptors to their end.
void drain(int outFd, int errFd, std::string& out, std::string& err)
{
    std::array<char, 65536> buffer{};
    while (outFd >= 0 || errFd >= 0) {
        std::array<pollfd, 2> fds{{{outFd, POLLIN, 0}, {errFd, POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error("poll failed");
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            const ssize_t got = ::read(fds[i].fd, buffer.data(), buffer.size());
            if (got > 0) {
                (i == 0 ? out : err).append(buffer.data(), static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                // End of file; on a pseudo-terminal EIO says the other side is closed.
                closeIfOpen(i == 0 ? outFd : errFd);
            }
        }
    }
}

}  // namespace

std::string cliPath()
{
    return VELLINOR_CLI_PATH;
}

CliRun runCli(const std::vector<std::string>& arguments, const CliRunOptions& options)
{
    std::vector<std::string> argv{cliPath()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (auto& argument : argv)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);

    int outPipe[2] = {-1, -1};
    int errPipe[2] = {-1, -1};
    if (options.errorTerminal) {
        if (::openpty(&errPipe[0], &errPipe[1], nullptr, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
    } else if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    if (options.terminal) {
        if (::openpty(&outPipe[0], &outPipe[1], nullptr, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
    } else if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }

    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        if (!options.workingDirectory.empty() && ::chdir(options.workingDirectory.c_str()) != 0)
            ::_exit(126);
        for (const auto& [name, value] : options.env) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        const std::string input =
            options.standardInput.empty() ? "/dev/null" : options.standardInput;
        const int inputFd = ::open(input.c_str(), O_RDONLY);
        ::dup2(inputFd, STDIN_FILENO);
        ::execv(pointers[0], pointers.data());
        ::_exit(127);
    }
    closeIfOpen(outPipe[1]);
    closeIfOpen(errPipe[1]);

    CliRun run;
    drain(outPipe[0], errPipe[0], run.out, run.err);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        run.exitStatus = WEXITSTATUS(status);
    // Under the sanitizers a report would otherwise pass for exit status 1.
    EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
    if (options.terminal) {
        // The terminal turns "\n" into "\r\n"; give the text back as the program wrote it.
        std::string plain;
        for (std::size_t i = 0; i < run.out.size(); ++i) {
            if (run.out[i] == '\r' && i + 1 < run.out.size() && run.out[i + 1] == '\n')
                continue;
            plain.push_back(run.out[i]);
        }
        run.out = std::move(plain);
    }
    return run;
}

}  // namespace vellinor::test
