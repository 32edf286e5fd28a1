#pragma once

// Streaming `vellinor-cli --record`'s array of records (probe/probe_record.h).

#include <string>
#include <string_view>

#include "probe/probe_record.h"

namespace vellinor::cli {

using vellinor::probeRecord;

// Writes a JSON array one element at a time, so a long batch streams: the text as a whole is
// what the core's pretty writer gives for the array of all elements.
class RecordArrayWriter {
public:
    RecordArrayWriter();
    // The opening "[".
    [[nodiscard]] std::string begin() const;
    // One element, given as the pretty text the core's writer made of it (rawString), with the
    // separator it needs.
    [[nodiscard]] std::string element(std::string_view elementText);
    // The closing "]" and a line break.
    [[nodiscard]] std::string end() const;

private:
    std::string m_indent;
    bool m_empty = true;
};

}  // namespace vellinor::cli
