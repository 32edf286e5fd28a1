// vellinor-cli: the command-line front end of Vellinor.

#include <exception>
#include <variant>

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "cli/output_streams.h"

int main(int argc, char** argv)
{
    using namespace vellinor::cli;
    // Standard output carries only reports and JSON.
    sendDiagnosticsToStandardError();
    try {
        auto parsed = parseCommandLine(argc, argv);
        if (const int* status = std::get_if<int>(&parsed))
            return *status;
        return runCli(std::get<CliOptions>(parsed));
    } catch (const std::exception& error) {
        writeErrorLine(std::string("vellinor-cli: ") + error.what());
        return kExitFileProblem;
    }
}
