#include "sniffer/serve.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "platform/child_watch.h"
#include "platform/write_all.h"
#include "probe/sandbox_stop.h"
#include "probe/serve_protocol.h"
#include "sniffer/clean_probe.h"
#include "sniffer/request_reader.h"
#include "sniffer/sandbox.h"

namespace sniffer {
namespace {

namespace protocol = vellinor::serve_protocol;
using Clock = vellinor::platform::ChildWatch::Clock;

constexpr int kPipeBytes = 1 << 20;
// A child that has not taken its file this long after it was handed over (stopped, starved) is
// replaced; the file's own time limit starts when a child takes it.
constexpr std::chrono::milliseconds kTakeGrace{5'000};

using Fd = vellinor::platform::UniqueFd;
using vellinor::platform::ChildWatch;
using vellinor::platform::reap;
using vellinor::platform::writeAll;

// A child forked ahead of its file, so the fork is not waited for when a request comes: it
// waits for a request on `path` and answers on `output`. After a clean file it waits for the
// next one on the same pipes.
struct Child {
    pid_t pid = 0;
    Fd path;
    Fd output;
};

struct Answer {
    protocol::AnswerHeader header;
    std::string bytes;
    bool clientGone = false;        // nobody reads answers any more: the server ends
    pid_t unreaped = 0;             // a child that has answered whole and is ending: reaped after
    std::optional<Child> reusable;  // a child that answered clean and takes another file
};

// What a child writes before its document. Once the header and the whole document are in, the
// answer is known: the server passes it on without waiting for the child to wind down.
struct ChildHeader {
    int status;
    int reusable;  // nonzero: the child takes another file after this one
    std::size_t length;
};

// Written by a child as soon as it has its path: a child that dies before this has not taken
// the file, and the file is given to a fresh child instead of being blamed.
constexpr char kTaken = 'T';
// Written before the header, so an answer is told from the line a child stopped by its sandbox
// writes instead (which starts with a line break).
constexpr char kAnswering = 'A';
constexpr std::size_t kAnswerPrefix = 2 + sizeof(ChildHeader);

// The child: takes one path, probes it and writes its answer to `output`. Never returns.
[[noreturn]] void runChild(const ProbeFunction& probe, const ServeLimits& limits, pid_t server,
                           int requestFd, int answerFd, int pathFd, int output)
{
    // Dies with the server, whatever kills it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != server)
        ::_exit(127);
    // Only the server talks to the client.
    ::close(answerFd);
    const int nothing = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (nothing >= 0) {
        ::dup2(nothing, requestFd);
        ::close(nothing);
    }
    ::signal(SIGPIPE, SIG_DFL);
    // Confined before it is handed a file, while it waits: the cost is off the file's path.
    SandboxPolicy policy;
    policy.answerFd = output;
    policy.memoryLimitBytes = limits.memoryLimitBytes;
    if (!enterSandboxOrSay(policy))
        ::_exit(127);
    RequestReader reader(pathFd);
    long startKilobytes = -1;
    for (std::size_t answered = 0;;) {
        std::string path;
        const auto request = reader.next(path);
        // The server closes the pipe of a child it keeps no longer.
        if (request == RequestReader::Status::endOfInput && answered > 0)
            ::_exit(0);
        if (request != RequestReader::Status::ok || !writeAll(output, std::string_view(&kTaken, 1)))
            ::_exit(127);

        clean_probe::begin();
        std::string document;
        const int status = probe(path.c_str(), document);
        ++answered;
        // Peak resident memory: what the files so far have made this process hold.
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        if (startKilobytes < 0)
            startKilobytes = usage.ru_maxrss;
        const bool reusable = status == 0 && clean_probe::clean() &&
                              answered < limits.filesPerChild &&
                              static_cast<std::size_t>(usage.ru_maxrss - startKilobytes) * 1024 <
                                  limits.reuseMemoryGrowthBytes;
        ChildHeader header{status & 0xff, reusable ? 1 : 0, document.size()};
        std::string message(1 + sizeof header, kAnswering);
        std::memcpy(message.data() + 1, &header, sizeof header);
        if (!writeAll(output, message) || !writeAll(output, document) || !reusable)
            ::_exit(header.status);
    }
}

vellinor::Expected<Child> forkChild(const ProbeFunction& probe, const ServeLimits& limits,
                                    int requestFd, int answerFd)
{
    std::array<int, 2> pathEnds{};
    std::array<int, 2> outputEnds{};
    if (::pipe2(pathEnds.data(), O_CLOEXEC) != 0)
        return vellinor::Unexpected(std::string(std::strerror(errno)));
    Fd pathRead(pathEnds[0]);
    Fd pathWrite(pathEnds[1]);
    if (::pipe2(outputEnds.data(), O_CLOEXEC) != 0)
        return vellinor::Unexpected(std::string(std::strerror(errno)));
    Fd outputRead(outputEnds[0]);
    Fd outputWrite(outputEnds[1]);
    // Fewer, larger reads for a large document (the system caps the size; failing is harmless).
    ::fcntl(outputRead.get(), F_SETPIPE_SZ, kPipeBytes);

    const pid_t server = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0)
        return vellinor::Unexpected(std::string(std::strerror(errno)));
    if (pid == 0) {
        pathWrite.reset();
        outputRead.reset();
        runChild(probe, limits, server, requestFd, answerFd, pathRead.get(), outputWrite.get());
    }
    return Child{pid, std::move(pathWrite), std::move(outputRead)};
}

// A child forked ahead of the next request, when one can be: a request that finds none forks
// its own and says why that failed.
std::optional<Child> spareChild(const ProbeFunction& probe, const ServeLimits& limits,
                                int requestFd, int answerFd)
{
    auto forked = forkChild(probe, limits, requestFd, answerFd);
    if (!forked)
        return std::nullopt;
    return std::move(*forked);
}

// Whether the child is stopped (SIGSTOP, a debugger) or already gone, so that a file handed
// to it would wait for nothing.
bool unfitToTakeFile(pid_t pid)
{
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WSTOPPED | WEXITED | WNOHANG | WNOWAIT) != 0)
        return true;
    return info.si_pid != 0;
}

void discard(std::optional<Child>& child)
{
    if (!child)
        return;
    ::kill(child->pid, SIGKILL);
    child->path.reset();
    child->output.reset();
    reap(child->pid);
    child.reset();
}

// How watching a child's answer ended.
enum class Watched {
    whole,       // its header and whole document are in
    ended,       // it exited before that
    clientGone,  // nobody reads answers any more
    notTaken,    // it did not take the file in time (stopped, starved)
    timedOut,    // it took the file and ran past the time limit
    tooLarge,    // it wrote, or announced, a document over the cap
};

// The time a child has to take its file; the file's own limit starts once it has.
std::chrono::milliseconds takeLimit(const ServeLimits& limits)
{
    return limits.timeout.count() > 0 ? std::min(limits.timeout, kTakeGrace) : kTakeGrace;
}

// The child's header, once its bytes are in.
std::optional<ChildHeader> headerOf(const std::string& bytes)
{
    if (bytes.size() < kAnswerPrefix || bytes[1] != kAnswering)
        return std::nullopt;
    ChildHeader header{};
    std::memcpy(&header, bytes.data() + 2, sizeof header);
    return header;
}

// Reads the child's answer into `bytes` until it is whole or the child ends or is to be stopped.
Watched watchAnswer(ChildWatch& watch, const ServeLimits& limits, std::string& bytes)
{
    bool tookFile = false;
    for (;;) {
        switch (watch.next(bytes)) {
            case ChildWatch::Event::finished:
                return Watched::ended;
            case ChildWatch::Event::timedOut:
                // Before it took the file, the time is not the file's: the file goes elsewhere.
                return tookFile ? Watched::timedOut : Watched::notTaken;
            case ChildWatch::Event::alsoReady:
                return Watched::clientGone;
            case ChildWatch::Event::quiet:
                continue;
            case ChildWatch::Event::output:
                break;
        }
        if (!tookFile && bytes.front() == kTaken) {
            tookFile = true;
            watch.setDeadline(limits.timeout.count() > 0
                                  ? std::optional(Clock::now() + limits.timeout)
                                  : std::nullopt);
        }
        // A child that announces a document over the cap is stopped at once.
        const std::optional<ChildHeader> header = headerOf(bytes);
        if (bytes.size() > limits.maxOutputBytes + kAnswerPrefix ||
            (header && header->length > limits.maxOutputBytes))
            return Watched::tooLarge;
        if (header && bytes.size() - kAnswerPrefix >= header->length)
            return Watched::whole;
    }
}

// A whole answer is passed on without waiting for the child to wind down; a child that said it
// takes another file, and said nothing after its document, is kept for the next one.
Answer wholeAnswer(Child child, ChildWatch& watch, std::string bytes)
{
    const ChildHeader header = *headerOf(bytes);
    Answer answer;
    answer.header.outcome = protocol::Outcome::exited;
    answer.header.number = header.status;
    answer.header.length = header.length;
    bytes.erase(0, kAnswerPrefix);
    if (header.reusable != 0 && bytes.size() == header.length)
        answer.reusable = Child{child.pid, std::move(child.path), watch.takePipe()};
    else
        answer.unreaped = child.pid;
    bytes.resize(header.length);
    answer.bytes = std::move(bytes);
    return answer;
}

// The answer of a child that ended, or was stopped, before its whole answer was in: it is
// killed where need be and reaped. `taken` tells whether it got as far as taking the file.
Answer unfinishedAnswer(pid_t pid, ChildWatch& watch, Watched how, std::string bytes,
                        Clock::time_point start, bool& taken)
{
    if (how != Watched::ended || watch.pipeOpen())
        ::kill(pid, SIGKILL);
    watch.closePipe();
    const std::optional<int> status = reap(pid);

    Answer answer;
    answer.clientGone = how == Watched::clientGone;
    taken = !bytes.empty() && bytes.front() == kTaken;
    // A child stopped by its sandbox wrote the refused call where its header would be: that
    // line is the answer. Otherwise, what it wrote of its document before it ended.
    const bool sandboxStop = taken && status && WIFSIGNALED(*status) &&
                             WTERMSIG(*status) == SIGSYS &&
                             std::string_view(bytes).substr(1).starts_with(
                                 "\n" + std::string(vellinor::sandbox_stop::kPrefix));
    bytes.erase(0, std::min(bytes.size(), sandboxStop ? 1 : kAnswerPrefix));
    answer.bytes = std::move(bytes);
    if (how == Watched::notTaken) {
        taken = false;
        answer.header.outcome = protocol::Outcome::unstarted;
        answer.bytes = "its child did not take the file within " +
                       std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          Clock::now() - start)
                                          .count()) +
                       " ms";
    } else if (how == Watched::timedOut || how == Watched::tooLarge) {
        answer.header.outcome = how == Watched::timedOut ? protocol::Outcome::timedOut
                                                         : protocol::Outcome::outputTooLarge;
        answer.bytes.clear();
        answer.bytes.shrink_to_fit();
    } else if (status && WIFSIGNALED(*status)) {
        answer.header.outcome = protocol::Outcome::signaled;
        answer.header.number = WTERMSIG(*status);
    } else {
        answer.header.outcome = protocol::Outcome::exited;
        answer.header.number = status && WIFEXITED(*status) ? WEXITSTATUS(*status) : 255;
    }
    answer.header.length = answer.bytes.size();
    return answer;
}

// Hands `path` to `child` and collects its answer within the limits. `taken` tells whether the
// child got as far as taking the file.
Answer collect(Child child, const std::string& path, const ServeLimits& limits, int answerFd,
               bool& taken)
{
    const auto start = Clock::now();
    // The child may already be gone; a failed write shows as an answer without the mark.
    (void)writeAll(child.path.get(), protocol::requestHeader(path.size()) + path);

    ChildWatch watch(child.pid, std::move(child.output));
    watch.watchAlso(answerFd, 0);  // only hang-up and error are reported
    watch.setDeadline(start + takeLimit(limits));
    std::string bytes;
    const Watched how = watchAnswer(watch, limits, bytes);
    if (how == Watched::whole) {
        taken = true;
        return wholeAnswer(std::move(child), watch, std::move(bytes));
    }
    return unfinishedAnswer(child.pid, watch, how, std::move(bytes), start, taken);
}

// The answer for one request. The spare child (or one forked now) gets the file; one that dies
// before taking it does not count, and a fresh child gets the file instead.
Answer answerRequest(const std::string& path, std::optional<Child>& spare,
                     const ProbeFunction& probe, const ServeLimits& limits, int requestFd,
                     int answerFd)
{
    Answer answer;
    answer.header.outcome = protocol::Outcome::unstarted;
    if (path.find('\0') != std::string::npos) {
        answer.bytes = "an argument contains a NUL byte";
        answer.header.length = answer.bytes.size();
        return answer;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (spare && unfitToTakeFile(spare->pid))
            discard(spare);
        if (!spare) {
            auto forked = forkChild(probe, limits, requestFd, answerFd);
            if (!forked) {
                answer = Answer{};
                answer.header.outcome = protocol::Outcome::unstarted;
                answer.bytes = forked.error();
                answer.header.length = answer.bytes.size();
                return answer;
            }
            spare = std::move(*forked);
        }
        Child child = std::move(*spare);
        spare.reset();
        bool taken = false;
        answer = collect(std::move(child), path, limits, answerFd, taken);
        if (taken || answer.clientGone || answer.header.outcome == protocol::Outcome::timedOut ||
            answer.header.outcome == protocol::Outcome::outputTooLarge)
            break;
    }
    return answer;
}

// Opens the decoders of the common codecs once, so the tables they build on first use are in
// the server and every child inherits them instead of building them again.
void warmCommonDecoders()
{
    static constexpr AVCodecID kCommon[] = {
        AV_CODEC_ID_H264,   AV_CODEC_ID_HEVC,       AV_CODEC_ID_MPEG4, AV_CODEC_ID_MPEG2VIDEO,
        AV_CODEC_ID_VP8,    AV_CODEC_ID_VP9,        AV_CODEC_ID_AV1,   AV_CODEC_ID_MJPEG,
        AV_CODEC_ID_PNG,    AV_CODEC_ID_AAC,        AV_CODEC_ID_MP3,   AV_CODEC_ID_MP2,
        AV_CODEC_ID_AC3,    AV_CODEC_ID_EAC3,       AV_CODEC_ID_OPUS,  AV_CODEC_ID_VORBIS,
        AV_CODEC_ID_FLAC,   AV_CODEC_ID_PCM_S16LE,  AV_CODEC_ID_DTS,   AV_CODEC_ID_ALAC,
        AV_CODEC_ID_TRUEHD, AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_THEORA};
    for (AVCodecID id : kCommon) {
        const AVCodec* codec = avcodec_find_decoder(id);
        AVCodecContext* context = codec != nullptr ? avcodec_alloc_context3(codec) : nullptr;
        if (context == nullptr)
            continue;
        if (codec->type == AVMEDIA_TYPE_AUDIO) {
            context->sample_rate = 48000;
            av_channel_layout_default(&context->ch_layout, 2);
        }
        avcodec_open2(context, codec, nullptr);  // a refusal still leaves the tables built
        avcodec_free_context(&context);
    }
}

std::optional<std::size_t> numberArgument(const char* text)
{
    return vellinor::serve_protocol::parseNumber<std::size_t>(text, SIZE_MAX);
}

}  // namespace

int serveRequests(int requestFd, int answerFd, const ProbeFunction& probe,
                  const ServeLimits& limits)
{
    RequestReader requests(requestFd);
    std::string path;
    // Forked while nobody waits, so a request finds its child ready.
    std::optional<Child> spare = spareChild(probe, limits, requestFd, answerFd);
    for (;;) {
        switch (requests.next(path)) {
            case RequestReader::Status::ok:
                break;
            case RequestReader::Status::endOfInput:
                discard(spare);
                return 0;
            case RequestReader::Status::malformed:
                discard(spare);
                return 2;
        }
        Answer answer = answerRequest(path, spare, probe, limits, requestFd, answerFd);
        if (answer.clientGone) {
            discard(spare);
            return 0;
        }
        const bool delivered = writeAll(answerFd, protocol::answerHeader(answer.header)) &&
                               writeAll(answerFd, answer.bytes);
        if (answer.unreaped > 0) {
            // It has nothing more to say; this makes sure it is gone.
            ::kill(answer.unreaped, SIGKILL);
            reap(answer.unreaped);
        }
        if (answer.reusable && !spare)
            spare = std::move(answer.reusable);
        if (!spare)
            spare = spareChild(probe, limits, requestFd, answerFd);
        if (!delivered) {
            discard(spare);
            return 0;
        }
    }
}

vellinor::Status prepareServer()
{
    // Children are reaped here, so their exit must not be discarded; a client or child that is
    // gone shows as a failed write, not as a signal that ends the server.
    ::signal(SIGCHLD, SIG_DFL);
    ::signal(SIGPIPE, SIG_IGN);
    av_log_set_level(AV_LOG_QUIET);
    warmCommonDecoders();
    // Once here, so each child only applies it; a server that cannot confine its children
    // serves none (its client falls back to one-shot runs, which say why).
    return prepareSandbox();
}

int runServe(int argc, char** argv, const ProbeFunction& probe)
{
    ServeLimits limits;
    for (int i = 2; i < argc; i += 2) {
        const std::string_view option = argv[i];
        const auto value = i + 1 < argc ? numberArgument(argv[i + 1]) : std::nullopt;
        if (value && option == "--timeout") {
            limits.timeout = std::chrono::milliseconds(*value);
        } else if (value && option == "--max-output") {
            limits.maxOutputBytes = *value;
        } else if (value && option == "--memory-limit") {
            limits.memoryLimitBytes = *value;
        } else if (value && *value > 0 && option == "--files-per-child") {
            limits.filesPerChild = *value;
        } else {
            std::fputs(
                "usage: sniffer --serve [--timeout <ms>] [--max-output <bytes>] "
                "[--memory-limit <bytes>] [--files-per-child <count>]\n",
                stderr);
            return 2;
        }
    }

    // Answers go through a private copy of standard output; whatever a library prints to
    // descriptor 1 lands on standard error instead.
    const int answerFd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (answerFd < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::perror("sniffer --serve");
        return 1;
    }
    if (auto prepared = prepareServer(); !prepared) {
        std::fprintf(stderr, "sniffer --serve: cannot prepare the sandbox: %s\n",
                     prepared.error().c_str());
        return 1;
    }
    if (!writeAll(answerFd, protocol::kHello))
        return 0;
    return serveRequests(STDIN_FILENO, answerFd, probe, limits);
}

}  // namespace sniffer
