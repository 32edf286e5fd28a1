#include "cli/server_command.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "cli/output_streams.h"
#include "probe/probe_tool.h"
#include "probe/shared_probe_server.h"

namespace vellinor::cli {
namespace {

std::string stayText()
{
    return "it stops " + std::to_string(kSharedServerIdle.count()) +
           " s after its last client is done";
}

}  // namespace

int runServerCommand(ServerCommand command)
{
    if (!sharedServerPlace()) {
        const bool off = [] {
            const char* value = std::getenv(kNoServerVariable);
            return value != nullptr && *value != '\0';
        }();
        const std::string text =
            std::string("No probe server is shared: ") +
            (off ? std::string(kNoServerVariable) + " is set" : "XDG_RUNTIME_DIR is not set") +
            ".\n";
        return writeAll(STDOUT_FILENO, text) ? kExitSuccess : kExitFileProblem;
    }
    const auto state = command == ServerCommand::stop ? stopSharedServer() : sharedServerState();
    if (!state) {
        reportProblem("probe server", state.error());
        return kExitFileProblem;
    }
    std::string text;
    if (!state->running) {
        text = "No probe server runs (its socket would be " + state->socketPath + ").\n";
    } else if (command == ServerCommand::stop) {
        text = "Stopped the probe server (process " + std::to_string(state->pid) + ").\n";
    } else {
        text = "The probe server runs as process " + std::to_string(state->pid) + " on " +
               state->socketPath + "; " + stayText() + ".\n";
        const auto tool = chosenProbeTool();
        if (tool && !tool->stock && executableIdentity(tool->path) != state->identity)
            text +=
                "It runs another build of the sniffer than the installed one and is replaced "
                "at the next probe.\n";
    }
    return writeAll(STDOUT_FILENO, text) ? kExitSuccess : kExitFileProblem;
}

}  // namespace vellinor::cli
