#include "format/csv_text.h"

#include "json/json.h"

namespace vellinor::csv {

std::string field(std::string_view text)
{
    std::string mended = mendUtf8(text);
    // Blanks at either end are kept by readers only inside quotes (some spreadsheets trim them).
    const bool needsQuotes = mended.find_first_of(",\"\r\n") != std::string::npos ||
                             (!mended.empty() && (mended.front() == ' ' || mended.back() == ' '));
    if (!needsQuotes)
        return mended;
    std::string quoted = "\"";
    for (const char c : mended) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string record(std::span<const std::string> fields)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        line += field(fields[i]);
    }
    line += "\r\n";
    return line;
}

}  // namespace vellinor::csv
