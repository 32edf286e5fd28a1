#include "platform/tied_spawn.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

#include "platform/child_watch.h"

namespace vellinor::platform::spawn_detail {
namespace {

// The child runs on this stack only until its exec; it calls nothing deep.
constexpr std::size_t kChildStackBytes = std::size_t{64} << 10;

struct ChildContext {
    const TiedChildSetup* setup;
    pid_t parent;
    sigset_t emptyMask;
    // Written by the child when it cannot exec; we share its memory until it execs or exits.
    std::atomic<int> error{0};
};

// Moves `fd` to a number of at least 3, so the three dup2 calls below cannot clobber a source
// that happens to be 0, 1 or 2 (when our own standard descriptors were closed).
__attribute__((no_sanitize("address", "undefined"))) int aboveStandard(int fd)
{
    return static_cast<int>(::fcntl(fd, F_DUPFD_CLOEXEC, 3));
}

// Runs in the child, sharing our memory and our stopped thread's TLS: only system calls, no
// allocation, no locks, nothing instrumented.
__attribute__((no_sanitize("address", "undefined"))) int childMain(void* argument)
{
    auto* context = static_cast<ChildContext*>(argument);
    const TiedChildSetup& setup = *context->setup;
    // Every signal to its default while all are still blocked, so none of our handlers can run
    // on this borrowed stack.
    for (int signal = 1; signal < NSIG; ++signal) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        ::sigaction(signal, &action, nullptr);
    }
    int error = 0;
    const int in = aboveStandard(setup.standardInput);
    const int out = aboveStandard(setup.standardOutput);
    const int err = aboveStandard(setup.standardError);
    if (in < 0 || out < 0 || err < 0 || ::setpgid(0, 0) != 0 ||
        ::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::dup2(in, STDIN_FILENO) < 0 ||
        ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0) {
        error = errno;
    } else if (::getppid() != context->parent) {
        // We died before the signal was asked for: nobody would ever end this child.
        error = ESRCH;
    } else {
        // Everything above 2 is close-on-exec or goes now (a host may hold descriptors
        // without the flag).
        ::syscall(SYS_close_range, 3U, ~0U, 0U);
        ::sigprocmask(SIG_SETMASK, &context->emptyMask, nullptr);
        ::execve(setup.executable, setup.argv, setup.envp);
        error = errno;
    }
    context->error.store(error != 0 ? error : EINVAL);
    ::_exit(127);
}

class ChildStack {
public:
    ChildStack()
        : m_base(::mmap(nullptr, kChildStackBytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0))
    {
    }
    ~ChildStack()
    {
        if (valid())
            ::munmap(m_base, kChildStackBytes);
    }
    ChildStack(const ChildStack&) = delete;
    ChildStack& operator=(const ChildStack&) = delete;
    [[nodiscard]] bool valid() const { return m_base != MAP_FAILED; }
    // Stacks grow down here: the child starts at the top.
    [[nodiscard]] void* top() const { return static_cast<char*>(m_base) + kChildStackBytes; }

private:
    void* m_base;
};

}  // namespace

pid_t spawnTiedChild(const TiedChildSetup& setup)
{
    ChildStack stack;
    if (!stack.valid())
        return -errno;
    ChildContext context{&setup, ::getpid(), {}, {}};
    sigemptyset(&context.emptyMask);

    // No handler of ours may run in the child before it has reset them.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    // CLONE_VFORK: we go on once the child has exec'd or exited, so `context` is still ours.
    const pid_t pid = ::clone(childMain, stack.top(), CLONE_VM | CLONE_VFORK | SIGCHLD, &context);
    const int cloneError = errno;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (pid < 0)
        return -cloneError;
    if (const int error = context.error.load(); error != 0) {
        (void)reap(pid);
        return -error;
    }
    return pid;
}

}  // namespace vellinor::platform::spawn_detail
