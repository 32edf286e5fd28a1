#pragma once

// The runner both front ends probe through: warm probe servers (ProbeService) behind the
// user's probe cache, so files that have not changed are answered without starting a tool.

#include <memory>

#include "probe/probe_service.h"
#include "probe/tool_runner.h"

namespace vellinor {

struct ProbeRunnerSetup {
    ProbeServiceOptions service;
    // Off: every file is probed, and nothing is kept (vellinor-cli --no-cache).
    bool useCache = true;
    // On: the servers start now, so the first file finds one warm (the window, at launch).
    // Off: they start when the cache first cannot answer, so a batch of unchanged files starts
    // none.
    bool startServersNow = false;
};

std::shared_ptr<ToolRunner> makeProbeRunner(const ProbeRunnerSetup& setup);

}  // namespace vellinor
