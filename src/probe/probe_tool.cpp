#include "probe/probe_tool.h"

#include <cstdlib>

#include "platform/bundle.h"

namespace vellinor {

std::optional<ProbeTool> chosenProbeTool()
{
    const char* stock = std::getenv(kProbeToolVariable);
    if (stock != nullptr && *stock != '\0')
        return ProbeTool{stock, true};
    if (auto resource = platform::resourcePath("sniffer"))
        return ProbeTool{std::move(*resource), false};
    return std::nullopt;
}

}  // namespace vellinor
