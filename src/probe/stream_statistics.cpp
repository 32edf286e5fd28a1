#include "probe/stream_statistics.h"

#include <charconv>
#include <cmath>
#include <string>

namespace vellinor::probe_detail {
namespace {

// The tag `name`, or the first "name-<language>" one; a missing value when neither is there.
JSON statisticsTag(const JSON& stream, std::string_view name)
{
    const JSON tags = stream["tags"];
    const JSON plain = tags[std::string(name)];
    if (plain.exists() || tags.type() != JSONType::dictionary)
        return plain;
    for (const auto& [key, value] : tags.dictionaryValue()) {
        if (key.size() > name.size() + 1 && key.compare(0, name.size(), name) == 0 &&
            key[name.size()] == '-')
            return value;
    }
    return plain;
}

std::optional<std::uint64_t> wholeNumber(std::string_view text)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<double> clockSeconds(std::string_view text)
{
    const auto firstColon = text.find(':');
    if (firstColon == std::string_view::npos)
        return std::nullopt;
    const auto secondColon = text.find(':', firstColon + 1);
    if (secondColon == std::string_view::npos)
        return std::nullopt;
    const auto hours = wholeNumber(text.substr(0, firstColon));
    const auto minutes = wholeNumber(text.substr(firstColon + 1, secondColon - firstColon - 1));
    const std::string_view secondsText = text.substr(secondColon + 1);
    double seconds = 0;
    const auto [end, error] =
        std::from_chars(secondsText.data(), secondsText.data() + secondsText.size(), seconds,
                        std::chars_format::fixed);
    if (!hours || !minutes || *minutes >= 60 || error != std::errc() || secondsText.empty() ||
        end != secondsText.data() + secondsText.size() || !(seconds >= 0 && seconds < 60) ||
        secondsText.front() == '-')
        return std::nullopt;
    const double total =
        static_cast<double>(*hours) * 3600.0 + static_cast<double>(*minutes) * 60.0 + seconds;
    return std::isfinite(total) ? std::optional<double>(total) : std::nullopt;
}

double streamDuration(const JSON& stream, std::optional<double> fallback)
{
    const JSON duration = stream["duration"];
    if (duration.exists())
        return duration.doubleValue();
    if (const auto tagged = clockSeconds(statisticsTag(stream, "DURATION").stringValue()))
        return *tagged;
    return fallback.value_or(0.0);
}

std::int64_t streamBitRate(const JSON& stream)
{
    const JSON bitRate = stream["bit_rate"];
    if (bitRate.exists())
        return bitRate.intValue();
    return statisticsTag(stream, "BPS").intValue();
}

}  // namespace vellinor::probe_detail
