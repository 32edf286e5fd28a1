#pragma once

// Builds probe records from canned ffprobe documents, without running a tool.

#include <string>
#include <string_view>
#include <vector>

#include "probe/file_probe.h"

namespace vellinor::test {

inline FileProbe probeOf(std::string_view document, const std::string& path = "/media/film.mkv")
{
    FileProbe probe;
    probe.readToolOutput(document, path);
    return probe;
}

// A document whose only member is "streams" holding the given stream objects (JSON texts).
inline std::string streamsDocument(const std::vector<std::string>& streams,
                                   std::string_view extraMembers = {})
{
    std::string document = "{\"streams\": [";
    for (std::size_t i = 0; i < streams.size(); ++i)
        document += (i > 0 ? ", " : "") + streams[i];
    document += "]";
    if (!extraMembers.empty())
        document += ", " + std::string(extraMembers);
    return document + "}";
}

inline std::vector<std::string> keysOf(const KeyValueRows& rows)
{
    std::vector<std::string> keys;
    for (const auto& row : rows)
        keys.push_back(row.key);
    return keys;
}

// The value of the row named `key`, or "<missing>".
inline std::string valueOf(const KeyValueRows& rows, std::string_view key)
{
    for (const auto& row : rows) {
        if (row.key == key)
            return row.value;
    }
    return "<missing>";
}

}  // namespace vellinor::test
