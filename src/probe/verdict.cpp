#include "probe/verdict.h"

#include <utility>

#include "platform/file_access.h"

namespace vellinor {
namespace {

FileVerdict verdict(FileVerdict::Kind kind, std::string problem, std::string message)
{
    return {kind, std::move(problem), std::move(message)};
}

// "the probe tool timed out after 60 s" as a sentence: "The probe tool timed out after 60 s."
std::string asSentence(std::string text)
{
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    if (!text.empty() && text.back() != '.')
        text.push_back('.');
    return text;
}

}  // namespace

FileVerdict accessVerdict(const std::string& path)
{
    platform::AccessProblem access = platform::accessProblem(path);
    switch (access.kind) {
        case platform::AccessProblem::Kind::none:
            break;
        case platform::AccessProblem::Kind::missing:
            return verdict(FileVerdict::Kind::missing, access.reason,
                           "Could not open this file: " + access.reason);
        case platform::AccessProblem::Kind::unreadable:
            return verdict(FileVerdict::Kind::unreadable, access.reason,
                           "Could not open this file: " + access.reason);
    }
    return {};
}

FileVerdict fileVerdict(const std::string& path, const FileProbe& probe)
{
    if (!probe.toolProblem.empty())
        return verdict(FileVerdict::Kind::toolFailed, probe.toolProblem,
                       asSentence(probe.toolProblem));

    if (probe.hasErrors) {
        // The record cannot tell a missing file from an empty one (both have size 0), nor a
        // file the tool may not open from one it cannot make sense of: the path can.
        FileVerdict access = accessVerdict(path);
        if (!access.isGood())
            return access;
        if (probe.fileSize.value_or(0) == 0)
            return verdict(FileVerdict::Kind::empty, "empty file", "This file is empty.");
        if (probe.toolError.empty())
            return verdict(FileVerdict::Kind::toolError, "the probe tool could not read it",
                           "Could not read this file.");
        return verdict(FileVerdict::Kind::toolError,
                       "the probe tool could not read it: " + probe.toolError,
                       "Could not read this file: " + probe.toolError);
    }

    if (!probe.isValidMediaFile) {
        std::string message;
        if (!probe.json)
            message = "Not a media file: the probe tool gave no description of it.";
        else if (probe.numberOfTracks > 0)
            message = "Not counted as a media file: its name ends in .txt.";
        else
            message = "Not a media file: the probe tool found no streams in it.";
        return verdict(FileVerdict::Kind::notMedia, "not a media file", std::move(message));
    }
    return {};
}

}  // namespace vellinor
