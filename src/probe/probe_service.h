#pragma once

// ProbeService: a ToolRunner that keeps probe servers ("sniffer --serve") warm, so a file costs
// a fork in a running process instead of starting the tool and its libraries. Each file is
// still probed in a process of its own: a crash, a hang or a flood costs that file alone, with
// the same toolProblem a one-shot run gives.
//
// Falling back is automatic: a server that dies is replaced, and a file whose server died
// under it is asked again (the file is not blamed: the server never reads it). When a server
// cannot be started or does not greet as one (a stock ffprobe, a broken install), every later
// file is probed by a one-shot run of the tool, as without the service. A stock tool chosen
// with VELLINOR_PROBE_TOOL is only ever run one-shot.
//
// With `shared`, the servers are connections to the probe server this user's programs share
// (shared_probe_server.h), one per server slot; when it cannot be reached or started, the
// service says so in one line and keeps private servers instead.

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "probe/probe_defaults.h"
#include "probe/shared_probe_server.h"
#include "probe/tool_runner.h"

namespace vellinor {

struct ProbeServiceOptions {
    // Servers kept warm, the most files probed at once (at least 1).
    unsigned servers = 1;
    // Empty: the chosen probe tool (probe_tool.h).
    std::string toolPath;
    // A file whose probe runs longer is given up (zero: no limit).
    std::chrono::milliseconds timeout = probe_defaults::kTimeLimit;
    // Use the shared server where there is one.
    bool shared = false;
    // How long a shared server started here stays once its last client is gone.
    std::chrono::milliseconds sharedIdle = kSharedServerIdle;
};

class ProbeService final : public ToolRunner {
public:
    // Starts the servers (they greet in the background; nothing waits here).
    explicit ProbeService(ProbeServiceOptions options = {});
    ~ProbeService() override;
    ProbeService(const ProbeService&) = delete;
    ProbeService& operator=(const ProbeService&) = delete;

    ToolRun run(const std::string& path) override;
    // A cancelled run closes its connection, so the server ends the child probing the file;
    // it is neither asked again nor run one-shot.
    ToolRun runCancellable(const std::string& path, const std::atomic<bool>* cancelled) override;
    [[nodiscard]] std::string identity() const override;

    // How the files so far were probed, for tests and benchmarks.
    struct Counts {
        std::size_t served = 0;             // answered by a server
        std::size_t oneShot = 0;            // by a one-shot run
        std::size_t serverStarts = 0;       // private servers started, replacements included
        std::size_t sharedConnections = 0;  // connections made to the shared server
    };
    [[nodiscard]] Counts counts() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace vellinor
