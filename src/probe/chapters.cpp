// The chapter list shown in front of the chapter data stream's details.
//
// A chapter as ffprobe prints it:
//     {"id": 0, "time_base": "1/1000", "start": 0, "start_time": "0.000000", "end": 65500,
//      "end_time": "65.500000", "tags": {"title": "Intro"}}

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "format/utils.h"
#include "probe/file_probe.h"

namespace vellinor {
namespace {

// Chapter times are shown in whole seconds, cut rather than rounded. A time that is not a
// finite number shows as 0 seconds.
std::string wholeSecondsText(const JSON& time)
{
    const double seconds = time.doubleValue();
    return Utils::formatDuration(std::isfinite(seconds) ? std::trunc(seconds) : 0.0);
}

}  // namespace

KeyValueRows FileProbe::chapterRows() const
{
    if (!json)
        return {};
    const JSON chapters = (*json)["chapters"];

    // One row per title: a later chapter with the same title (or another untitled one) replaces
    // the earlier.
    std::map<std::string, std::string> rangeByTitle;
    for (std::size_t i = 0, count = chapters.count(); i < count; ++i) {
        const JSON chapter = chapters[i];
        rangeByTitle[chapter["tags"]["title"].stringValue()] =
            wholeSecondsText(chapter["start_time"]) + " - " + wholeSecondsText(chapter["end_time"]);
    }

    // The zero-padded range text sorts in time order; the title only breaks ties.
    std::vector<std::pair<std::string, std::string>> byRange;
    byRange.reserve(rangeByTitle.size());
    for (auto& [title, range] : rangeByTitle)
        byRange.emplace_back(std::move(range), title);
    std::sort(byRange.begin(), byRange.end());

    KeyValueRows rows;
    rows.reserve(byRange.size());
    for (auto& [range, title] : byRange)
        rows.push_back({std::move(title), std::move(range)});
    return rows;
}

}  // namespace vellinor
