#pragma once

// Comma-separated values as RFC 4180 writes them, for spreadsheets and scripts: fields holding a
// comma, a double quote, a line break or leading/trailing blanks are quoted, quotes doubled,
// records end in CR LF, and the text is UTF-8 (bytes that are not become U+FFFD).
//
//     csvRecord({"Fact", "clip \"A\".mkv"})  ->  Fact,"clip ""A"".mkv"\r\n

#include <span>
#include <string>
#include <string_view>

namespace vellinor::csv {

// One field, quoted when it needs to be.
std::string field(std::string_view text);

// The fields joined by commas, ending in CR LF.
std::string record(std::span<const std::string> fields);

}  // namespace vellinor::csv
