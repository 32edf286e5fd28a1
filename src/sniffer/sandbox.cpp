#include "sniffer/sandbox.h"

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "probe/sandbox_stop.h"

// libseccomp's argument macros (SCMP_A0 ...) are C compound literals that leave the second
// datum out when it is not needed; clang reports both in C++ code.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wc99-extensions"
#pragma clang diagnostic ignored "-Wmissing-field-initializers"
#endif

using vellinor::Done;
using vellinor::Status;
using vellinor::Unexpected;

namespace sniffer {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizer = true;
#elif defined(__has_feature)
constexpr bool kSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kSanitizer = false;
#endif

// Enough for a demuxer that opens a few files at once (HLS, playlists) and the libraries' own.
constexpr rlim_t kMaxDescriptors = 64;
// Stands for the process's own id in the compiled filter (no process has it: pid_max is at most
// 2^22); each process writes its id over it before it applies the filter.
constexpr std::uint32_t kOwnPid = 0x7ffffff0;
// Syscall numbers below this are named in a stop report.
constexpr int kNamedCalls = 512;

// What the newest kernels take; an older one gets the fields it knows (the size tells it).
struct LandlockRuleset {
    std::uint64_t handledAccessFs;
    std::uint64_t handledAccessNet;
    std::uint64_t scoped;
};
// Newer than the system's header may know.
constexpr std::uint64_t kLandlockFsTruncate = 1ULL << 14;
constexpr std::uint64_t kLandlockNetBindTcp = 1ULL << 0;
constexpr std::uint64_t kLandlockNetConnectTcp = 1ULL << 1;
constexpr std::uint64_t kLandlockScopeAbstractUnix = 1ULL << 0;
constexpr std::uint64_t kLandlockScopeSignal = 1ULL << 1;

struct Prepared {
    bool done = false;
    bool disabled = false;
    std::vector<sock_filter> program;
    std::vector<std::size_t> ownPidAt;  // instructions that compare with kOwnPid
    int landlockRuleset = -1;           // -1: the kernel has no Landlock
    std::vector<const char*> callNames;
};
Prepared g_prepared;
int g_answerFd = STDOUT_FILENO;
bool g_entered = false;

bool disabledByEnvironment()
{
    const char* value = std::getenv("VELLINOR_SANDBOX");
    return value != nullptr && std::strcmp(value, "0") == 0;
}

// The line a stop writes, built without allocating: a forbidden call may come from any
// thread, in any state, so the handler may only use async-signal-safe calls.
class StopLine {
public:
    void append(const char* text)
    {
        while (*text != '\0' && m_used < sizeof m_bytes)
            m_bytes[m_used++] = *text++;
    }
    void append(unsigned value)
    {
        char digits[12] = {};
        std::size_t count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0 && count < sizeof digits);
        while (count > 0 && m_used < sizeof m_bytes)
            m_bytes[m_used++] = digits[--count];
    }
    [[nodiscard]] const char* data() const { return m_bytes; }
    [[nodiscard]] std::size_t size() const { return m_used; }

private:
    char m_bytes[128] = {};
    std::size_t m_used = 0;
};

void onForbiddenCall(int, siginfo_t* info, void*)
{
    StopLine line;
    line.append("\n");
    line.append(vellinor::sandbox_stop::kPrefix.data());
    const int call = info->si_syscall;
    const auto index = static_cast<std::size_t>(call);
    if (call >= 0 && index < g_prepared.callNames.size() &&
        g_prepared.callNames[index] != nullptr) {
        line.append(g_prepared.callNames[index]);
    } else {
        line.append("system call ");
        line.append(static_cast<unsigned>(call));
    }
    line.append("\n");
    if (::write(g_answerFd, line.data(), line.size()) < 0 || g_answerFd == STDERR_FILENO ||
        ::write(STDERR_FILENO, line.data() + 1, line.size() - 1) < 0) {
        // Nothing more can be said.
    }
    // A forbidden call made while SIGSYS is blocked (as it is in its own handler) gets the
    // default action: the whole process ends by SIGSYS, which its parent sees.
    ::syscall(SYS_socket, -1, -1, -1);
    ::_exit(128 + SIGSYS);
}

std::string seccompError(const char* what, int error)
{
    return std::string("seccomp ") + what + ": " + std::strerror(-error);
}

// The allow-list: what glibc, libav and (in sanitizer builds) the sanitizers need to read a
// media file and print the answer. Anything else traps.
Status addRules(scmp_filter_ctx filter)
{
    static constexpr int kAllowed[] = {
        // reading, seeking and looking at files
        SCMP_SYS(read), SCMP_SYS(readv), SCMP_SYS(pread64), SCMP_SYS(preadv), SCMP_SYS(preadv2),
        SCMP_SYS(lseek), SCMP_SYS(close), SCMP_SYS(fstat), SCMP_SYS(newfstatat), SCMP_SYS(stat),
        SCMP_SYS(lstat), SCMP_SYS(statx), SCMP_SYS(fstatfs), SCMP_SYS(statfs), SCMP_SYS(access),
        SCMP_SYS(faccessat), SCMP_SYS(faccessat2), SCMP_SYS(readlink), SCMP_SYS(readlinkat),
        SCMP_SYS(getdents64), SCMP_SYS(getcwd), SCMP_SYS(fcntl), SCMP_SYS(dup), SCMP_SYS(dup3),
        SCMP_SYS(poll), SCMP_SYS(ppoll),
        // writing the answer and diagnostics to descriptors already open
        SCMP_SYS(write), SCMP_SYS(writev),
        // memory
        SCMP_SYS(brk), SCMP_SYS(mmap), SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(mprotect),
        SCMP_SYS(madvise),
        // threads, futexes, signals of its own
        SCMP_SYS(futex), SCMP_SYS(set_robust_list), SCMP_SYS(get_robust_list), SCMP_SYS(rseq),
        SCMP_SYS(set_tid_address), SCMP_SYS(sched_yield), SCMP_SYS(sched_getaffinity),
        SCMP_SYS(sched_getparam), SCMP_SYS(sched_getscheduler), SCMP_SYS(rt_sigaction),
        SCMP_SYS(rt_sigprocmask), SCMP_SYS(rt_sigreturn), SCMP_SYS(sigaltstack), SCMP_SYS(gettid),
        SCMP_SYS(getpid), SCMP_SYS(getppid), SCMP_SYS(getuid), SCMP_SYS(geteuid), SCMP_SYS(getgid),
        SCMP_SYS(getegid), SCMP_SYS(restart_syscall),
        // time, randomness, the machine
        SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres), SCMP_SYS(gettimeofday), SCMP_SYS(time),
        SCMP_SYS(nanosleep), SCMP_SYS(clock_nanosleep), SCMP_SYS(pause), SCMP_SYS(getrandom),
        SCMP_SYS(sysinfo), SCMP_SYS(uname), SCMP_SYS(getrusage), SCMP_SYS(getrlimit),
        // the end
        SCMP_SYS(exit), SCMP_SYS(exit_group)};
    for (int call : kAllowed) {
        if (int error = seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0); error != 0)
            return Unexpected(seccompError("rule", error));
    }

    struct Rule {
        std::uint32_t action;
        int call;
        std::vector<scmp_arg_cmp> arguments;
    };
    // Opening for reading only: no write access, no creating, truncating or temporary file.
    constexpr std::uint64_t kWriting = O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_TMPFILE;
    // Forks and program starts are refused softly in sanitizer builds, so a sanitizer that
    // tries to start its symbolizer still prints its report.
    const std::uint32_t refusedStart = kSanitizer ? SCMP_ACT_ERRNO(EPERM) : SCMP_ACT_TRAP;
    const std::vector<Rule> rules = {
        {SCMP_ACT_ALLOW, SCMP_SYS(openat), {SCMP_A2(SCMP_CMP_MASKED_EQ, kWriting, 0)}},
        {SCMP_ACT_ALLOW, SCMP_SYS(open), {SCMP_A1(SCMP_CMP_MASKED_EQ, kWriting, 0)}},
        // glibc falls back to clone when clone3 (whose flags a filter cannot see) is missing.
        {SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), {}},
        {SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(openat2), {}},
        {SCMP_ACT_ALLOW,
         SCMP_SYS(clone),
         {SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD)}},
        {refusedStart, SCMP_SYS(clone), {SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0)}},
        {refusedStart, SCMP_SYS(fork), {}},
        {refusedStart, SCMP_SYS(vfork), {}},
        {refusedStart, SCMP_SYS(execve), {}},
        // Signals to itself only (raise, abort).
        {SCMP_ACT_ALLOW, SCMP_SYS(kill), {SCMP_A0(SCMP_CMP_EQ, kOwnPid)}},
        {SCMP_ACT_ALLOW, SCMP_SYS(tgkill), {SCMP_A0(SCMP_CMP_EQ, kOwnPid)}},
        // Reading its own limits (getrlimit is prlimit64 without a new limit).
        {SCMP_ACT_ALLOW, SCMP_SYS(prlimit64), {SCMP_A0(SCMP_CMP_EQ, 0), SCMP_A2(SCMP_CMP_EQ, 0)}},
        // Threads name themselves; stdio asks whether its output is a terminal.
        {SCMP_ACT_ALLOW, SCMP_SYS(prctl), {SCMP_A0(SCMP_CMP_EQ, PR_SET_NAME)}},
        {SCMP_ACT_ALLOW, SCMP_SYS(prctl), {SCMP_A0(SCMP_CMP_EQ, PR_GET_NAME)}},
        {SCMP_ACT_ERRNO(ENOTTY), SCMP_SYS(ioctl), {}},
        // UBSan's vptr check (sanitizer builds) probes memory by writing it into a pipe, on the
        // first cast of each polymorphic type: a scan's threads meet it (std::thread's state).
        {kSanitizer ? SCMP_ACT_ALLOW : SCMP_ACT_TRAP, SCMP_SYS(pipe2), {}},
        {kSanitizer ? SCMP_ACT_ALLOW : SCMP_ACT_TRAP, SCMP_SYS(pipe), {}},
    };
    for (const Rule& rule : rules) {
        if (rule.action == SCMP_ACT_TRAP)
            continue;  // what every call not allowed gets anyway
        const int error = seccomp_rule_add_array(filter, rule.action, rule.call,
                                                 static_cast<unsigned>(rule.arguments.size()),
                                                 rule.arguments.data());
        if (error != 0)
            return Unexpected(seccompError("rule", error));
    }
    return Done{};
}

Status compileFilter(Prepared& prepared)
{
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_TRAP);
    if (filter == nullptr)
        return Unexpected("seccomp: cannot make a filter");
    auto release = [&filter] { seccomp_release(filter); };
    // A call of another architecture's table (int 0x80 on x86-64) ends the process at once.
    seccomp_attr_set(filter, SCMP_FLTATR_ACT_BADARCH, SCMP_ACT_KILL_PROCESS);
    if (auto rules = addRules(filter); !rules) {
        release();
        return rules;
    }
    // Through a pipe, not a file: a file could meet a file size limit the process inherited.
    // The program is a few kilobytes, far below what a pipe holds.
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        release();
        return Unexpected(std::string("pipe: ") + std::strerror(errno));
    }
    const int exported = seccomp_export_bpf(filter, ends[1]);
    release();
    ::close(ends[1]);
    std::vector<char> bytes;
    if (exported == 0) {
        char chunk[4096];
        ssize_t got = 0;
        while ((got = ::read(ends[0], chunk, sizeof chunk)) > 0)
            bytes.insert(bytes.end(), chunk, chunk + got);
    }
    ::close(ends[0]);
    if (exported != 0)
        return Unexpected(seccompError("export", exported));
    if (bytes.empty() || bytes.size() % sizeof(sock_filter) != 0)
        return Unexpected("seccomp: the compiled filter is unreadable");
    prepared.program.resize(bytes.size() / sizeof(sock_filter));
    std::memcpy(prepared.program.data(), bytes.data(), bytes.size());
    for (std::size_t i = 0; i < prepared.program.size(); ++i) {
        const sock_filter& op = prepared.program[i];
        if (BPF_CLASS(op.code) == BPF_JMP && BPF_SRC(op.code) == BPF_K && op.k == kOwnPid)
            prepared.ownPidAt.push_back(i);
    }
    return Done{};
}

int landlockAbi()
{
    const long abi =
        ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    return abi < 0 ? 0 : static_cast<int>(abi);
}

// A rule set that handles every kind of change and allows none: the file system is read-only.
int makeLandlockRuleset()
{
    const int abi = landlockAbi();
    if (abi < 1)
        return -1;
    LandlockRuleset ruleset{};
    ruleset.handledAccessFs =
        LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_REMOVE_DIR |
        LANDLOCK_ACCESS_FS_REMOVE_FILE | LANDLOCK_ACCESS_FS_MAKE_CHAR |
        LANDLOCK_ACCESS_FS_MAKE_DIR | LANDLOCK_ACCESS_FS_MAKE_REG | LANDLOCK_ACCESS_FS_MAKE_SOCK |
        LANDLOCK_ACCESS_FS_MAKE_FIFO | LANDLOCK_ACCESS_FS_MAKE_BLOCK | LANDLOCK_ACCESS_FS_MAKE_SYM;
    std::size_t size = sizeof ruleset.handledAccessFs;
    if (abi >= 2)
        ruleset.handledAccessFs |= LANDLOCK_ACCESS_FS_REFER;
    if (abi >= 3)
        ruleset.handledAccessFs |= kLandlockFsTruncate;
    if (abi >= 4) {
        ruleset.handledAccessNet = kLandlockNetBindTcp | kLandlockNetConnectTcp;
        size = offsetof(LandlockRuleset, scoped);
    }
    if (abi >= 6) {
        ruleset.scoped = kLandlockScopeAbstractUnix | kLandlockScopeSignal;
        size = sizeof ruleset;
    }
    const long fd = ::syscall(SYS_landlock_create_ruleset, &ruleset, size, 0);
    if (fd < 0)
        return -1;
    // Kept above the descriptors a probe uses, and out of every program started later.
    const int kept = ::fcntl(static_cast<int>(fd), F_DUPFD_CLOEXEC, 100);
    ::close(static_cast<int>(fd));
    return kept;
}

void nameCalls(Prepared& prepared)
{
    prepared.callNames.assign(kNamedCalls, nullptr);
    for (int call = 0; call < kNamedCalls; ++call)
        prepared.callNames[static_cast<std::size_t>(call)] =
            seccomp_syscall_resolve_num_arch(SCMP_ARCH_NATIVE, call);
}

Status setLimit(int resource, rlim_t value, const char* name)
{
    rlimit limit{};
    if (::getrlimit(resource, &limit) != 0)
        return Unexpected(std::string("getrlimit ") + name + ": " + std::strerror(errno));
    // Never raised: a lower limit set by whoever started us stays.
    limit.rlim_cur = std::min(limit.rlim_cur, value);
    limit.rlim_max = std::min(limit.rlim_max, value);
    if (::setrlimit(resource, &limit) != 0)
        return Unexpected(std::string("setrlimit ") + name + ": " + std::strerror(errno));
    return Done{};
}

bool isRegularFile(int fd)
{
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

Status setLimits(const SandboxPolicy& policy)
{
    // An answer redirected into a file by hand must still be written; nothing else may grow.
    const bool answerIsFile = isRegularFile(policy.answerFd) || isRegularFile(STDOUT_FILENO) ||
                              isRegularFile(STDERR_FILENO);
    if (!answerIsFile) {
        if (auto done = setLimit(RLIMIT_FSIZE, 0, "RLIMIT_FSIZE"); !done)
            return done;
    }
    if (auto done = setLimit(RLIMIT_NOFILE, kMaxDescriptors, "RLIMIT_NOFILE"); !done)
        return done;
    if (auto done = setLimit(RLIMIT_CORE, 0, "RLIMIT_CORE"); !done)
        return done;
    if (policy.memoryLimitBytes > 0 && !kSanitizer) {
        if (auto done = setLimit(RLIMIT_AS, policy.memoryLimitBytes, "RLIMIT_AS"); !done)
            return done;
    }
    return Done{};
}

}  // namespace

bool sandboxDisabled()
{
    return disabledByEnvironment();
}

Status prepareSandbox()
{
    if (g_prepared.done)
        return Done{};
    if (disabledByEnvironment()) {
        g_prepared.disabled = true;
        g_prepared.done = true;
        std::fputs("sniffer: VELLINOR_SANDBOX=0: media files are read without the sandbox\n",
                   stderr);
        return Done{};
    }
    if (auto compiled = compileFilter(g_prepared); !compiled)
        return compiled;
    g_prepared.landlockRuleset = makeLandlockRuleset();
    nameCalls(g_prepared);
    g_prepared.done = true;
    return Done{};
}

Status enterSandbox(const SandboxPolicy& policy)
{
    if (auto prepared = prepareSandbox(); !prepared)
        return prepared;
    if (g_prepared.disabled || g_entered)
        return Done{};

    g_answerFd = policy.answerFd;
    if (auto limited = setLimits(policy); !limited)
        return limited;
    // A write past RLIMIT_FSIZE fails (EFBIG) instead of ending the process.
    ::signal(SIGXFSZ, SIG_IGN);
    struct sigaction onSys {};
    onSys.sa_sigaction = onForbiddenCall;
    onSys.sa_flags = SA_SIGINFO;
    sigemptyset(&onSys.sa_mask);
    if (::sigaction(SIGSYS, &onSys, nullptr) != 0)
        return Unexpected(std::string("sigaction SIGSYS: ") + std::strerror(errno));
    // No core file, and no other process of this user may trace or read it.
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return Unexpected(std::string("PR_SET_NO_NEW_PRIVS: ") + std::strerror(errno));
    if (g_prepared.landlockRuleset >= 0) {
        const long restricted =
            ::syscall(SYS_landlock_restrict_self, g_prepared.landlockRuleset, 0);
        const int error = errno;
        ::close(g_prepared.landlockRuleset);
        g_prepared.landlockRuleset = -1;
        if (restricted != 0)
            return Unexpected(std::string("landlock_restrict_self: ") + std::strerror(error));
    }

    const auto self = static_cast<std::uint32_t>(::getpid());
    for (std::size_t at : g_prepared.ownPidAt)
        g_prepared.program[at].k = self;
    sock_fprog program{static_cast<unsigned short>(g_prepared.program.size()),
                       g_prepared.program.data()};
    if (::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_TSYNC, &program) != 0)
        return Unexpected(std::string("seccomp: ") + std::strerror(errno));
    g_entered = true;
    return Done{};
}

bool enterSandboxOrSay(const SandboxPolicy& policy)
{
    const Status entered = enterSandbox(policy);
    if (!entered)
        std::fprintf(stderr,
                     "sniffer: cannot enter the sandbox (%s); VELLINOR_SANDBOX=0 reads "
                     "files without it\n",
                     entered.error().c_str());
    return entered.hasValue();
}

}  // namespace sniffer

#if defined(__SANITIZE_ADDRESS__)
// LeakSanitizer's check at exit traces the process from a forked helper, which the sandbox
// refuses; a sandboxed process is checked by the sanitizers' other checks only.
extern "C" int __lsan_is_turned_off()
{
    return sniffer::g_entered ? 1 : 0;
}
#endif
