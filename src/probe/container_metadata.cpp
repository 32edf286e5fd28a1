// The container's facts as rows: every member of "format" under its own name, each tag as
// "<tag>.tags", the media kind number as its name, and the "iTunMOVI" property list unpacked.
//
// The format object as ffprobe prints it (abridged):
//     {"filename": "/media/film.m4v", "nb_streams": 3, "format_name": "mov,mp4,m4a,3gp,3g2,mj2",
//      "duration": "10.000000", "size": "1234567", "bit_rate": "987653",
//      "tags": {"major_brand": "M4V ", "title": "Film", "media_type": "9",
//               "iTunMOVI": "<?xml version=\"1.0\" ...><plist ...><dict>...</dict></plist>"}}

#include <array>
#include <string_view>
#include <utility>

#include "probe/file_probe.h"
#include "probe/probe_text.h"

namespace vellinor {
namespace {

using probe_detail::rawText;
using probe_detail::RowMap;

struct MediaKind {
    std::int64_t number;
    std::string_view name;
};

// The numbers of the MP4 "stik" atom, which ffprobe prints as the tag "media_type".
constexpr std::array<MediaKind, 11> kMediaKinds{{
    {0, "Home Video"},
    {1, "Music"},
    {2, "Audiobook"},
    {6, "Music Video"},
    {9, "Movie"},
    {10, "TV Show"},
    {11, "Booklet"},
    {14, "Ringtone"},
    {21, "Podcast"},
    {23, "iTunes U"},
    {27, "Alert Tone"},
}};

const MediaKind* findMediaKind(std::int64_t number)
{
    for (const MediaKind& kind : kMediaKinds) {
        if (kind.number == number)
            return &kind;
    }
    return nullptr;
}

void addTags(const JSON& tags, RowMap& rows)
{
    for (const auto& [tag, value] : tags) {
        if (tag == "iTunMOVI") {
            probe_detail::unpackITunMovi(value, rows);
        } else if (tag == "media_type") {
            // The number itself is never shown; an unknown one shows nothing.
            const std::string name = tag + ".modified.tags";
            if (const MediaKind* kind = findMediaKind(value.intValue()))
                rows[name] = kind->name;
            else
                rows.erase(name);
        } else {
            rows[tag + ".tags"] = rawText(value);
        }
    }
}

}  // namespace

KeyValueRows FileProbe::containerMetadata(const JSON& document)
{
    RowMap rows;
    for (const auto& [name, value] : document["format"]) {
        if (name == "tags")
            addTags(value, rows);
        else
            rows[name] = rawText(value);
    }

    KeyValueRows result;
    result.reserve(rows.size());
    for (auto& [name, text] : rows)
        result.push_back({name, std::move(text)});
    return result;
}

}  // namespace vellinor
