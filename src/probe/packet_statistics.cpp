#include "probe/packet_statistics.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

namespace vellinor {
namespace {

// Bounds on what a line may claim, far above any real file, so that no sum or product made
// from them can overflow: a bin past 30 years, or more than 2^56 bytes in one second, is a
// damaged line.
constexpr std::int64_t kLatestSecond = std::int64_t{1} << 30;
constexpr std::int64_t kMostBytes = std::int64_t{1} << 56;

std::vector<std::string_view> words(std::string_view line)
{
    std::vector<std::string_view> result;
    std::size_t at = 0;
    while (at < line.size()) {
        std::size_t end = line.find(' ', at);
        if (end == std::string_view::npos)
            end = line.size();
        if (end > at)
            result.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    return result;
}

std::optional<std::int64_t> integer(std::string_view text)
{
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<std::int64_t> count(std::string_view text)
{
    auto value = integer(text);
    if (!value || *value < 0)
        return std::nullopt;
    return value;
}

std::optional<double> seconds(std::string_view text)
{
    double value = 0.0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

class Reader {
public:
    Expected<PacketStatistics> read(std::string_view text)
    {
        std::size_t lineNumber = 0;
        while (!text.empty()) {
            std::size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
            ++lineNumber;
            if (m_ended)
                continue;  // nothing after "end" counts
            if (!readLine(words(line)))
                return Unexpected("the packet reader printed an unreadable line " +
                                  std::to_string(lineNumber));
        }
        if (!m_ended)
            return Unexpected("the packet reader stopped before the end of the file");
        for (auto& [index, stream] : m_streams)
            m_result.streams.push_back(std::move(stream));
        return std::move(m_result);
    }

private:
    bool readLine(const std::vector<std::string_view>& word)
    {
        if (word.empty())
            return true;
        const std::string_view kind = word[0];
        if (kind == "end") {
            m_ended = true;
            return true;
        }
        if (kind == "duration" && word.size() == 2)
            return (m_result.duration = seconds(word[1])).has_value();
        if (kind == "packets_end" && word.size() == 2)
            return (m_result.packetsEnd = seconds(word[1])).has_value();
        if (kind == "stream" && word.size() == 4)
            return declare(word);
        if (kind == "bin" && word.size() == 6)
            return addBin(word);
        if (kind == "key" && word.size() == 4)
            return addKeyframe(word);
        if (kind == "frames" && word.size() == 3)
            return setFrames(word);
        if (kind == "duration" || kind == "packets_end" || kind == "stream" || kind == "bin" ||
            kind == "key" || kind == "frames")
            return false;  // a known line with the wrong number of words
        return true;       // progress lines, and kinds this version does not know
    }

    bool declare(const std::vector<std::string_view>& word)
    {
        auto index = count(word[1]);
        if (!index || m_streams.count(*index) != 0)
            return false;
        StreamPackets& stream = m_streams[*index];
        stream.index = *index;
        stream.kind = word[2];
        stream.codec = word[3];
        return true;
    }

    StreamPackets* stream(std::string_view text)
    {
        auto index = count(text);
        if (!index)
            return nullptr;
        auto found = m_streams.find(*index);
        return found == m_streams.end() ? nullptr : &found->second;
    }

    bool addBin(const std::vector<std::string_view>& word)
    {
        StreamPackets* target = stream(word[1]);
        auto second = count(word[2]);
        auto bytes = count(word[3]);
        auto packets = count(word[4]);
        auto keyframes = count(word[5]);
        if (target == nullptr || !second || !bytes || !packets || !keyframes ||
            *second > kLatestSecond || *bytes > kMostBytes)
            return false;
        // Seconds come in ascending order, each once.
        if (!target->bins.empty() && target->bins.back().second >= *second)
            return false;
        target->bins.push_back({*second, *bytes, *packets, *keyframes});
        return true;
    }

    bool addKeyframe(const std::vector<std::string_view>& word)
    {
        StreamPackets* target = stream(word[1]);
        auto time = seconds(word[2]);
        auto frame = count(word[3]);
        if (target == nullptr || !time || !frame)
            return false;
        target->keyframes.push_back({*time, *frame});
        return true;
    }

    bool setFrames(const std::vector<std::string_view>& word)
    {
        StreamPackets* target = stream(word[1]);
        auto frames = count(word[2]);
        if (target == nullptr || !frames)
            return false;
        target->frameCount = *frames;
        return true;
    }

    PacketStatistics m_result;
    std::map<std::int64_t, StreamPackets> m_streams;
    bool m_ended = false;
};

}  // namespace

std::int64_t PacketStatistics::secondCount() const
{
    std::int64_t result = 0;
    for (const StreamPackets& stream : streams)
        if (!stream.bins.empty())
            result = std::max(result, stream.bins.back().second + 1);
    return result;
}

Expected<PacketStatistics> parsePacketStatistics(std::string_view text)
{
    return Reader().read(text);
}

std::optional<double> packetProgress(std::string_view line)
{
    auto word = words(line);
    if (word.size() != 3 || word[0] != "progress")
        return std::nullopt;
    auto read = count(word[1]);
    auto size = count(word[2]);
    if (!read || !size || *size == 0)
        return std::nullopt;
    return std::min(1.0, static_cast<double>(*read) / static_cast<double>(*size));
}

ProgressLines::ProgressLines(const std::function<bool(double)>& onProgress)
    : m_onProgress(onProgress)
{
}

bool ProgressLines::take(std::string_view piece)
{
    m_pending.append(piece);
    std::size_t start = 0;
    for (std::size_t end = m_pending.find('\n'); end != std::string::npos;
         end = m_pending.find('\n', start)) {
        if (auto fraction = packetProgress(std::string_view(m_pending).substr(start, end - start)))
            m_fraction = *fraction;
        start = end + 1;
    }
    m_pending.erase(0, start);
    // A document's line may be long: only a line still short enough to be progress is worth
    // keeping whole.
    if (m_pending.size() > 256)
        m_pending.clear();
    return m_onProgress(m_fraction);
}

std::vector<PacketBin> everySecond(const StreamPackets& stream, std::int64_t secondCount)
{
    std::vector<PacketBin> result;
    result.reserve(static_cast<std::size_t>(std::max<std::int64_t>(0, secondCount)));
    auto bin = stream.bins.begin();
    for (std::int64_t second = 0; second < secondCount; ++second) {
        while (bin != stream.bins.end() && bin->second < second)
            ++bin;
        if (bin != stream.bins.end() && bin->second == second)
            result.push_back(*bin);
        else
            result.push_back({second, 0, 0, 0});
    }
    return result;
}

std::optional<std::int64_t> gopLengthAt(const StreamPackets& stream, std::size_t keyframe)
{
    const auto& keys = stream.keyframes;
    if (keyframe >= keys.size())
        return std::nullopt;
    const std::int64_t end =
        keyframe + 1 < keys.size() ? keys[keyframe + 1].frame : stream.frameCount;
    if (end <= keys[keyframe].frame)
        return std::nullopt;
    return end - keys[keyframe].frame;
}

std::vector<std::int64_t> gopLengths(const StreamPackets& stream)
{
    std::vector<std::int64_t> lengths;
    for (std::size_t i = 0; i < stream.keyframes.size(); ++i)
        if (auto length = gopLengthAt(stream, i))
            lengths.push_back(*length);
    return lengths;
}

std::optional<GopSummary> summarizeGops(const StreamPackets& stream)
{
    std::vector<std::int64_t> lengths = gopLengths(stream);
    if (lengths.empty())
        return std::nullopt;
    std::sort(lengths.begin(), lengths.end());
    const std::size_t middle = lengths.size() / 2;
    GopSummary summary;
    summary.minimum = lengths.front();
    summary.maximum = lengths.back();
    summary.count = lengths.size();
    summary.median =
        lengths.size() % 2 == 1
            ? static_cast<double>(lengths[middle])
            : (static_cast<double>(lengths[middle - 1]) + static_cast<double>(lengths[middle])) /
                  2.0;
    return summary;
}

}  // namespace vellinor
