// The details of one stream: every member as a row, the groups "disposition" and "tags"
// flattened into "<flag>.disposition" and "<tag>.tags", the frame rate as a number where it is
// plausible, and the file's chapters in front of the chapter data stream's rows.

#include <string>

#include "format/utils.h"
#include "probe/file_probe.h"
#include "probe/hdr_facts.h"
#include "probe/probe_text.h"

namespace vellinor {
namespace {

using probe_detail::rawText;
using probe_detail::RowMap;

void flattenGroup(const JSON& group, const std::string& suffix, RowMap& rows)
{
    for (const auto& [name, value] : group)
        rows[name + suffix] = rawText(value);
}

// ffprobe prints "30000/1001", "25/1", or "0/0" for streams without a rate. Rates outside
// (20, 200) are timebase artefacts (90000/1 of a picture, 15/1 of a slideshow), so those keep
// the fraction as printed.
void addFrameRate(const JSON& value, RowMap& rows)
{
    std::string raw = rawText(value);
    const double rate = Utils::evaluateFrameRate(raw);
    if (rate > 20.0 && rate < 200.0) {
        if (auto text = Utils::formatFrameRate(rate))
            rows["frames_per_second"] = std::move(*text);
        return;
    }
    rows["r_frame_rate"] = std::move(raw);
}

}  // namespace

KeyValueRows FileProbe::trackDetails(const JSON& stream) const
{
    RowMap rows;
    for (const auto& [name, value] : stream) {
        if (name == "disposition")
            flattenGroup(value, ".disposition", rows);
        else if (name == "tags")
            flattenGroup(value, ".tags", rows);
        else if (name == "r_frame_rate")
            addFrameRate(value, rows);
        else
            rows[name] = rawText(value);
    }

    // Video gets its HDR facts as rows of their own ("HDR", "HDR transfer", ...).
    if (hasHdrFacts(stream)) {
        for (auto& [name, text] : hdrRows(hdrFactsOf(stream)))
            rows[name] = std::move(text);
    }

    KeyValueRows result;
    if (probe_detail::isText(stream["codec_name"], "bin_data"))
        result = chapterRows();
    result.reserve(result.size() + rows.size());
    for (auto& [name, text] : rows)
        result.push_back({name, std::move(text)});
    return result;
}

}  // namespace vellinor
