#pragma once

// Owning a descriptor and watching a child exit: shared by the process runner and the probe
// server (header only, so the sniffer links no more than libav).

#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace vellinor::platform {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = other.m_fd;
            other.m_fd = -1;
        }
        return *this;
    }

    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool valid() const { return m_fd >= 0; }
    // Hands the descriptor over to the caller, who closes it.
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset()
    {
        // Never retried: on Linux the descriptor is gone even when close reports EINTR.
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

// A descriptor that becomes readable when the child exits, or an invalid one where the kernel
// has no pidfd (the caller then asks waitid at intervals).
inline UniqueFd openPidFd(pid_t pid)
{
#ifdef SYS_pidfd_open
    return UniqueFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
#else
    (void)pid;
    return UniqueFd();
#endif
}

// Whether the child has exited, leaving it unreaped so that its pid, and with it its process
// group, cannot be reused before we are done signalling.
inline bool hasExited(pid_t pid)
{
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
        if (errno != EINTR)
            return true;  // ECHILD: reaped by someone else (SIGCHLD ignored); nothing to wait for
    }
    return info.si_pid != 0;
}

}  // namespace vellinor::platform
