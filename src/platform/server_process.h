#pragma once

// A long-lived child process spoken to over one socket, which is its standard input and its
// standard output (standard error is /dev/null). Like runProcess, the program and its
// arguments are a list, never a shell line, and the child gets its own process group and a
// clean signal state. Our end of the socket is close-on-exec and is written with MSG_NOSIGNAL,
// so a child that died never raises SIGPIPE in the caller. Destroying the object kills the
// child's whole process group and reaps it. One thread at a time per object.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/expected.h"

namespace vellinor::platform {

class ServerProcess {
public:
    using Clock = std::chrono::steady_clock;
    // No value: wait as long as it takes.
    using Deadline = std::optional<Clock::time_point>;

    static Expected<std::unique_ptr<ServerProcess>> start(
        const std::string& executable, const std::vector<std::string>& arguments);
    // Our end of a connection to a server that is no child of ours (the shared probe server),
    // taken over: destroying the object only closes it.
    static std::unique_ptr<ServerProcess> adopt(int socket);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Zero for an adopted connection.
    [[nodiscard]] pid_t pid() const { return m_pid; }

    Status send(std::string_view bytes, Deadline deadline);
    // The next line, without its line break; fails when none ends within `maxLength` bytes.
    Expected<std::string> receiveLine(std::size_t maxLength, Deadline deadline);
    // Exactly `count` bytes.
    Expected<std::string> receive(std::size_t count, Deadline deadline);
    // Until bytes can be received (or the server has ended); fails at the deadline, or soon
    // after `cancelled` turns true (looked at every few tens of milliseconds).
    Status awaitBytes(Deadline deadline, const std::atomic<bool>& cancelled);

private:
    ServerProcess(pid_t pid, int socket) : m_pid(pid), m_socket(socket) {}
    // Waits for more bytes; fails at the end of the output or at the deadline.
    Status fill(Deadline deadline);

    pid_t m_pid;
    int m_socket;
    std::string m_buffer;  // received, not yet taken
};

}  // namespace vellinor::platform
