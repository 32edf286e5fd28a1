#include "probe/probe_text.h"

#include "format/utils.h"

namespace vellinor::probe_detail {

std::string rawText(const JSON& value)
{
    return value.rawString().value_or("unknown");
}

std::string kbpsText(std::int64_t bitsPerSecond)
{
    return Utils::formatShortestDecimal(static_cast<double>(bitsPerSecond) / 1000.0) + "kbps";
}

bool isText(const JSON& value, std::string_view text)
{
    return value.type() == JSONType::string && value.stringValue() == text;
}

}  // namespace vellinor::probe_detail
