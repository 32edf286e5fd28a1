#include "cli/extract_attachments.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "cli/input_source.h"
#include "cli/output_streams.h"
#include "platform/file_access.h"
#include "platform/file_names.h"
#include "probe/attachment_extraction.h"
#include "probe/caching_tool_runner.h"
#include "probe/embedded_artwork.h"
#include "probe/embedded_files.h"
#include "probe/one_shot_tool_runner.h"
#include "probe/sniffer_mode.h"

namespace vellinor::cli {

int extractAttachments(const CliOptions& options)
{
    const std::string& folder = *options.extractFolder;
    if (Status prepared = prepareFolder(folder); !prepared) {
        reportProblem(folder, prepared.error());
        return kExitFileProblem;
    }

    // The sniffer reads each file in a child; unchanged files with small items are answered
    // from the probe cache.
    std::shared_ptr<ToolRunner> runner;
    if (options.useCache)
        runner = withProbeCache([] { return std::make_shared<OneShotToolRunner>(); },
                                snifferModeExecutable().value_or(std::string()));
    // One writer for the whole run, so names stay unique across files.
    EmbeddedFileWriter writer(folder);
    bool failed = false;
    InputSource inputs(options.paths, options.recursive, options.fileList);
    if (inputs.reportListFailure())
        return kExitFileProblem;
    while (const std::optional<InputFile> next = inputs.next()) {
        const InputFile& input = *next;
        const Status readable = checkInput(input);
        std::string problem = readable ? std::string() : readable.error();
        if (problem.empty()) {
            const auto reading = embeddedFiles(input.path, runner.get());
            if (!reading) {
                problem = reading.error();
            } else {
                int number = 0;
                for (const EmbeddedFile& file : reading->files) {
                    const std::string name =
                        embeddedFileName(file, platform::fileNameOfPath(input.path), ++number);
                    const auto written = writer.write(file, name);
                    if (!written) {
                        reportProblem(input.path, written.error());
                        failed = true;
                    } else if (!writeStandardOutput(*written + "\n")) {
                        return kExitFileProblem;
                    }
                }
                // An item left out fails the run as a file that could not be written does.
                for (const std::string& left : reading->problems) {
                    reportProblem(input.path, left);
                    failed = true;
                }
            }
        }
        if (!problem.empty()) {
            reportProblem(input.path, problem);
            failed = true;
        }
    }
    if (inputs.reportListFailure())
        failed = true;
    return failed ? kExitFileProblem : kExitSuccess;
}

}  // namespace vellinor::cli
