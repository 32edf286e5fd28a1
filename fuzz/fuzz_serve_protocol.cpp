// Fuzz target: arbitrary bytes as the header lines the probe servers and their clients read
// from each other (request and answer headers, the shared server's limits line). Whatever
// parses must say the same again when written back and parsed once more, within its caps.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "probe/serve_protocol.h"

namespace protocol = vellinor::serve_protocol;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    constexpr std::size_t kCap = std::size_t{256} << 20;

    if (const auto length = protocol::parseRequestHeader(line)) {
        FUZZ_CHECK(*length <= protocol::kMaxPathBytes);
        std::string again = protocol::requestHeader(*length);
        again.pop_back();
        FUZZ_CHECK(protocol::parseRequestHeader(again) == length);
    }
    if (const auto header = protocol::parseAnswerHeader(line, kCap)) {
        FUZZ_CHECK(header->length <= kCap && header->number >= 0 && header->number <= 255);
        std::string again = protocol::answerHeader(*header);
        FUZZ_CHECK(again.size() <= protocol::kMaxHeaderLine);
        again.pop_back();
        const auto reparsed = protocol::parseAnswerHeader(again, kCap);
        FUZZ_CHECK(reparsed && reparsed->outcome == header->outcome &&
                   reparsed->number == header->number && reparsed->length == header->length);
    }
    if (const auto limits = protocol::parseLimitsLine(line)) {
        FUZZ_CHECK(limits->maxOutputBytes > 0);
        std::string again = protocol::limitsLine(*limits);
        FUZZ_CHECK(again.size() <= protocol::kMaxHeaderLine);
        again.pop_back();
        const auto reparsed = protocol::parseLimitsLine(again);
        FUZZ_CHECK(reparsed && reparsed->timeoutMilliseconds == limits->timeoutMilliseconds &&
                   reparsed->maxOutputBytes == limits->maxOutputBytes);
    }
    return 0;
}
