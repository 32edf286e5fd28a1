#include "probe/probe_service.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "base/diagnostics.h"
#include "platform/process.h"
#include "platform/server_process.h"
#include "probe/one_shot_tool_runner.h"
#include "probe/probe_tool.h"
#include "probe/serve_protocol.h"
#include "probe/sniffer_mode.h"
#include "probe/tool_arguments.h"
#include "probe/tool_problem.h"

namespace vellinor {
namespace {

namespace protocol = serve_protocol;
using platform::ServerProcess;
using Clock = ServerProcess::Clock;

// A server that has not greeted within this long (or the probe time limit, if shorter) is not
// one: a stock ffprobe rejects --serve, a broken tool may hang.
constexpr std::chrono::seconds kGreetingTimeout{10};
// The server kills a child at the time limit and answers at once; this much more is allowed
// before the server itself counts as stuck.
constexpr std::chrono::seconds kAnswerGrace{5};
// Tries per file on a server: a file whose server died under it is asked once more of a fresh
// one before it goes to a one-shot run.
constexpr int kServerTries = 2;
// The cap a one-shot run has, so both runs word "printed more than ..." alike.
constexpr std::size_t kMaxOutputBytes = tool_problem::kMaxDocumentBytes;

struct Slot {
    std::unique_ptr<ServerProcess> server;
    bool greeted = false;
};

}  // namespace

struct ProbeService::State {
    State(ProbeServiceOptions options, std::optional<ProbeTool> probeTool)
        : tool(std::move(probeTool))
        , timeout(options.timeout)
        , oneShot(tool ? tool->path : std::string(), options.timeout)
        , slots(std::max(options.servers, 1u))
    {
        serversUnavailable = !tool || tool->stock;
        sharing = options.shared && !serversUnavailable && sharedServerPlace().has_value();
        sharedIdle = options.sharedIdle;
        for (std::size_t i = 0; i < slots.size(); ++i)
            idle.push_back(i);
    }

    const std::optional<ProbeTool> tool;
    const std::chrono::milliseconds timeout;
    OneShotToolRunner oneShot;

    std::mutex mutex;
    std::condition_variable slotFreed;
    std::vector<Slot> slots;
    std::vector<std::size_t> idle;  // guarded by mutex
    std::atomic<bool> serversUnavailable{false};
    // Cleared, with one line said, once the shared server cannot be had.
    std::atomic<bool> sharing{false};
    std::chrono::milliseconds sharedIdle{};

    std::atomic<std::size_t> served{0};
    std::atomic<std::size_t> oneShotRuns{0};
    std::atomic<std::size_t> serverStarts{0};
    std::atomic<std::size_t> sharedConnections{0};

    std::vector<std::string> serverArguments() const
    {
        return {"--serve", "--timeout", std::to_string(timeout.count()), "--max-output",
                std::to_string(kMaxOutputBytes)};
    }

    // Starts the slot's server when it has none; false (and no more servers for anyone) when
    // it cannot be started.
    bool launch(Slot& slot)
    {
        if (slot.server)
            return true;
        if (serversUnavailable)
            return false;
        if (sharing && connectShared(slot))
            return true;
        auto started = ServerProcess::start(tool->path, serverArguments());
        if (!started) {
            serversUnavailable = true;
            return false;
        }
        ++serverStarts;
        slot.server = std::move(*started);
        slot.greeted = false;
        return true;
    }

    // A connection to the shared server (already greeted); false, and private servers from
    // now on, when there is none to be had.
    bool connectShared(Slot& slot)
    {
        auto connected = connectSharedServer({tool->path, timeout, kMaxOutputBytes, sharedIdle});
        if (!connected) {
            if (sharing.exchange(false))
                diagnostics::emitLine("the shared probe server cannot be used (" +
                                      connected.error() + "); probing with private servers");
            return false;
        }
        ++sharedConnections;
        slot.server = std::move(*connected);
        slot.greeted = true;
        return true;
    }

    // A started server that greets as a probe server; false (and no more servers) otherwise.
    bool ready(Slot& slot)
    {
        if (!launch(slot))
            return false;
        if (slot.greeted)
            return true;
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(kGreetingTimeout);
        if (timeout.count() > 0)
            wait = std::min(wait, timeout);
        auto line = slot.server->receiveLine(protocol::kMaxHeaderLine, Clock::now() + wait);
        if (!line || *line + "\n" != protocol::kHello) {
            slot.server.reset();
            serversUnavailable = true;
            return false;
        }
        slot.greeted = true;
        return true;
    }

    // The server's answer for `file`, or nothing when the server failed (it is then gone). A
    // cancelled ask drops the connection (a private server is killed, the shared one ends that
    // request's child when its client hangs up) and answers a cancelled run.
    std::optional<ToolRun> ask(Slot& slot, const std::string& file,
                               const std::atomic<bool>* cancelled)
    {
        ServerProcess::Deadline deadline;
        if (timeout.count() > 0)
            deadline = Clock::now() + timeout + kAnswerGrace;
        ServerProcess& server = *slot.server;
        std::optional<protocol::AnswerHeader> header;
        if (server.send(protocol::requestHeader(file.size()) + file, deadline)) {
            if (cancelled != nullptr &&
                server.awaitBytes(deadline, *cancelled).failedWith(ErrorKind::cancelled)) {
                slot.server.reset();
                return ToolRun{.output = {}, .status = Unexpected(tool_problem::cancelled())};
            }
            if (auto line = server.receiveLine(protocol::kMaxHeaderLine, deadline))
                header = protocol::parseAnswerHeader(*line, kMaxOutputBytes);
        }
        std::optional<std::string> bytes;
        if (header) {
            if (auto received = server.receive(header->length, deadline))
                bytes = std::move(*received);
        }
        if (!bytes) {
            slot.server.reset();
            return std::nullopt;
        }
        return toolRun(*header, std::move(*bytes));
    }

    // What a one-shot run would have given for the same outcome.
    ToolRun toolRun(const protocol::AnswerHeader& header, std::string bytes) const
    {
        using platform::ProcessResult;
        ProcessResult result;
        result.standardOutput = std::move(bytes);
        switch (header.outcome) {
            case protocol::Outcome::exited:
                result.outcome = ProcessResult::Outcome::exited;
                break;
            case protocol::Outcome::signaled:
                result.outcome = ProcessResult::Outcome::signaled;
                result.signalNumber = static_cast<int>(header.number);
                break;
            case protocol::Outcome::timedOut:
                result.outcome = ProcessResult::Outcome::timedOut;
                break;
            case protocol::Outcome::outputTooLarge:
                result.outcome = ProcessResult::Outcome::outputTooLarge;
                break;
            case protocol::Outcome::unstarted:
                // The answer's bytes say why the server could not start the tool.
                result.outcome = ProcessResult::Outcome::failedToStart;
                result.startError = "Could not start " + tool->path + ": " + result.standardOutput;
                break;
        }
        return toolRunOf(std::move(result), timeout, kMaxOutputBytes);
    }

    // A free slot; none when `cancelled` turns true while every slot is busy.
    std::optional<std::size_t> acquire(const std::atomic<bool>* cancelled)
    {
        std::unique_lock lock(mutex);
        while (idle.empty()) {
            if (cancelled == nullptr) {
                slotFreed.wait(lock, [this] { return !idle.empty(); });
                break;
            }
            if (cancelled->load())
                return std::nullopt;
            slotFreed.wait_for(lock, std::chrono::milliseconds(25));
        }
        const std::size_t index = idle.back();
        idle.pop_back();
        return index;
    }

    void release(std::size_t index)
    {
        {
            const std::lock_guard lock(mutex);
            idle.push_back(index);
        }
        slotFreed.notify_one();
    }
};

ProbeService::ProbeService(ProbeServiceOptions options)
{
    std::optional<ProbeTool> tool;
    if (!options.toolPath.empty())
        tool = ProbeTool{options.toolPath, false};
    else
        tool = chosenProbeTool();
    m_state = std::make_unique<State>(std::move(options), std::move(tool));
    // A shared server is reached when the first file needs it: reaching it may mean starting it,
    // which nobody should wait for before then.
    if (!m_state->sharing) {
        for (Slot& slot : m_state->slots)
            m_state->launch(slot);
    }
}

ProbeService::~ProbeService() = default;

ToolRun ProbeService::run(const std::string& path)
{
    return runCancellable(path, nullptr);
}

ToolRun ProbeService::runCancellable(const std::string& path, const std::atomic<bool>* cancelled)
{
    State& state = *m_state;
    auto isCancelled = [cancelled] { return cancelled != nullptr && cancelled->load(); };
    // The path as the tool's argument list would carry it; one with a NUL byte cannot be
    // carried at all, and the one-shot run says so.
    const std::string file = toolFilePath(path);
    if (!state.serversUnavailable && file.find('\0') == std::string::npos) {
        const auto acquired = state.acquire(cancelled);
        if (!acquired)
            return {.output = {}, .status = Unexpected(tool_problem::cancelled())};
        const std::size_t index = *acquired;
        Slot& slot = state.slots[index];
        for (int attempt = 0; attempt < kServerTries && !isCancelled() && state.ready(slot);
             ++attempt) {
            if (auto answer = state.ask(slot, file, cancelled)) {
                state.release(index);
                if (!answer->status.failedWith(ErrorKind::cancelled))
                    ++state.served;
                return std::move(*answer);
            }
        }
        state.release(index);
        // A request given up on is not asked again, of a server or of a one-shot run.
        if (isCancelled())
            return {.output = {}, .status = Unexpected(tool_problem::cancelled())};
    }
    ++state.oneShotRuns;
    return state.oneShot.runCancellable(path, cancelled);
}

std::string ProbeService::identity() const
{
    return m_state->oneShot.identity();
}

ProbeService::Counts ProbeService::counts() const
{
    return {m_state->served, m_state->oneShotRuns, m_state->serverStarts,
            m_state->sharedConnections};
}

}  // namespace vellinor
