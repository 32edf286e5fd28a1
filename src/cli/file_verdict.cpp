#include "cli/file_verdict.h"

namespace vellinor::cli {

std::string fileProblem(const FileProbe& probe)
{
    if (!probe.toolProblem.empty())
        return probe.toolProblem;
    if (probe.hasErrors)
        return probe.fileSize.value_or(0) == 0 ? "empty file" : "the probe tool could not read it";
    if (!probe.isValidMediaFile)
        return "not a media file";
    return {};
}

}  // namespace vellinor::cli
