// The chapter list shown in front of the chapter data stream's details.
//
// A chapter as ffprobe prints it:
//     {"id": 0, "time_base": "1/1000", "start": 0, "start_time": "0.000000", "end": 65500,
//      "end_time": "65.500000", "tags": {"title": "Intro"}}

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "format/utils.h"
#include "probe/file_probe.h"

namespace vellinor {
namespace {

// Chapter times are shown in whole seconds, cut rather than rounded. A time that is not a
// finite number shows as 0 seconds. Each chapter usually starts where the one before ended, so
// the last text is kept and reused.
class WholeSecondsText {
public:
    const std::string& operator()(const JSON& time)
    {
        double seconds = time.doubleValue();
        seconds = std::isfinite(seconds) ? std::trunc(seconds) : 0.0;
        if (!m_text || seconds != m_seconds) {
            m_seconds = seconds;
            m_text = Utils::formatDuration(seconds);
        }
        return *m_text;
    }

private:
    double m_seconds = 0.0;
    std::optional<std::string> m_text;
};

struct Chapter {
    std::string title;
    std::string range;
};

// The zero-padded range text sorts in time order; the title only breaks ties.
bool byRange(const Chapter& a, const Chapter& b)
{
    if (int order = a.range.compare(b.range); order != 0)
        return order < 0;
    return a.title < b.title;
}

}  // namespace

KeyValueRows FileProbe::chapterRows() const
{
    if (!json)
        return {};
    const JSON chapters = (*json)["chapters"];
    const std::size_t count = chapters.count();

    // One row per title: a later chapter with the same title (or another untitled one) replaces
    // the earlier. The index's keys view the titles in `unique`, which never reallocates.
    std::vector<Chapter> unique;
    unique.reserve(count);
    std::unordered_map<std::string_view, std::size_t> positionOfTitle;
    positionOfTitle.reserve(count);
    WholeSecondsText wholeSecondsText;
    for (std::size_t i = 0; i < count; ++i) {
        const JSON chapter = chapters[i];
        std::string title = chapter["tags"]["title"].stringValue();
        std::string range = wholeSecondsText(chapter["start_time"]) + " - ";
        range += wholeSecondsText(chapter["end_time"]);
        if (auto found = positionOfTitle.find(title); found != positionOfTitle.end()) {
            unique[found->second].range = std::move(range);
            continue;
        }
        unique.push_back({std::move(title), std::move(range)});
        positionOfTitle.emplace(unique.back().title, unique.size() - 1);
    }

    // ffprobe lists chapters in time order, so the list is usually sorted already.
    if (!std::is_sorted(unique.begin(), unique.end(), byRange))
        std::sort(unique.begin(), unique.end(), byRange);

    KeyValueRows rows;
    rows.reserve(unique.size());
    for (Chapter& chapter : unique)
        rows.push_back({std::move(chapter.title), std::move(chapter.range)});
    return rows;
}

}  // namespace vellinor
