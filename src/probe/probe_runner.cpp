#include "probe/probe_runner.h"

#include "probe/caching_tool_runner.h"
#include "probe/probe_tool.h"

namespace vellinor {

std::shared_ptr<ToolRunner> makeProbeRunner(const ProbeRunnerSetup& setup)
{
    ToolRunnerFactory makeService = [options = setup.service]() -> std::shared_ptr<ToolRunner> {
        return std::make_shared<ProbeService>(options);
    };
    if (setup.startServersNow)
        makeService = [service = makeService()] { return service; };
    if (!setup.useCache)
        return makeService();
    return withProbeCache(makeService, chosenProbeTool().value_or(ProbeTool{}).path);
}

}  // namespace vellinor
