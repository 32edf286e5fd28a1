#include "probe/file_probe.h"

#include "format/utils.h"
#include "platform/file_names.h"
#include "probe/declared_extent.h"
#include "probe/hdr_first_frame.h"
#include "probe/one_shot_tool_runner.h"
#include "probe/probe_text.h"
#include "probe/tool_arguments.h"
#include "probe/tool_problem.h"
#include "probe/variable_bit_rate.h"

namespace vellinor {

FileProbe::FileProbe(const std::string& path, const ProbeOptions& options)
{
    fileSize = Utils::getFileSize(path);
    fileSizeHuman = Utils::getFileSizeHuman(path);
    fileName = platform::fileNameOfPath(path);

    // An empty or unreadable file is never handed to the tool.
    if (*fileSize == 0) {
        hasErrors = true;
        return;
    }

    OneShotToolRunner oneShot(options.toolPath, options.timeout);
    ToolRunner& runner = options.toolRunner ? *options.toolRunner : oneShot;
    ToolRun run =
        options.cancelled ? runner.runCancellable(path, options.cancelled.get()) : runner.run(path);
    // Whatever went wrong with the run, the record reads as one whose tool printed nothing; the
    // reason is kept for the front ends in toolProblem.
    toolProblem = run.problemText();
    readToolOutput(run.output, path);
    if (options.cancelled && options.cancelled->load())
        return;
    // An MPEG stream's length estimated from its "variable" bit-rate marker: the packets' end.
    mendLengthFromMarker(*this, path, &runner);
    // HDR metadata that only the frames carry; a second child process, for such files only.
    // The frames only add detail: a reader that fails leaves the facts the document gave.
    (void)addFirstFrameHdrFacts(*this, path, &runner);
    // The header's own size, for Matroska and for files the tool could not read.
    addDeclaredExtent(*this, path, &runner);
    if (options.bitstreamFacts) {
        addEncoderSettings(*this, path, &runner);
        addStreamHeaders(*this, path, &runner);
    }
}

std::vector<std::string> FileProbe::toolArguments(const std::string& path)
{
    return probeToolArguments(path);
}

void FileProbe::readToolOutput(std::string_view output, const std::string& path)
{
    // No bytes, or bytes that are not a JSON document: nothing more is known, and that is not
    // counted as an error. A document too large to parse within bounds says so, as one over the
    // byte limit does.
    auto document = JSON::parse(output, tool_problem::kMaxDocumentValues);
    if (!document) {
        if (document.kind() == ErrorKind::tooLarge && toolProblem.empty())
            toolProblem = tool_problem::tooManyValues(tool_problem::kMaxDocumentValues).reason;
        return;
    }
    readDocument(*document, path);
}

void FileProbe::readDocument(const JSON& document, const std::string& path)
{
    // {"error": {"code": -1094995529, "string": "Invalid data found when processing input"}}
    if (document["error"].exists()) {
        hasErrors = true;
        toolError = document["error"]["string"].stringValue();
        return;
    }
    json = document;

    const JSON format = document["format"];
    duration = format["duration"].doubleValue();
    durationHuman = Utils::formatDuration(duration);
    bitrate = format["bit_rate"].intValue();
    bitrateHuman = probe_detail::kbpsText(bitrate);

    const JSON streams = document["streams"];
    const std::size_t streamCount = streams.type() == JSONType::array ? streams.count() : 0;
    if (streamCount > 0) {
        numberOfTracks = static_cast<std::int64_t>(streamCount);
        if (platform::lowerCasedExtension(path) != "txt") {
            isValidMediaFile = true;
            for (std::size_t i = 0; i < streamCount; ++i) {
                if (streams[i]["codec_tag_string"].stringValue().find("drm") != std::string::npos) {
                    isEncrypted = true;
                    break;
                }
            }
        }
    }

    if (format.exists())
        metadata = containerMetadata(document);
    if (streams.exists())
        buildTrackList(document);
}

}  // namespace vellinor
