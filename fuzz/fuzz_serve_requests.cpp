// Fuzz target: arbitrary bytes as what a client sends `sniffer --serve`, read by the server's
// request reader. Every request it takes must be exactly what the input says at that place (a
// short line holding a byte count, then that many bytes); it stops at the first bad header or
// a cut-off path, and ends cleanly only where the input ends between requests. The requests
// taken, written again by the client's encoder, read back the same.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "probe/serve_protocol.h"
#include "sniffer/request_reader.h"

namespace vellinor::fuzz {
namespace {

namespace protocol = serve_protocol;
using sniffer::RequestReader;

// A descriptor reading `bytes` from the start.
int descriptorOf(std::string_view bytes)
{
    const int fd = ::memfd_create("requests", MFD_CLOEXEC);
    FUZZ_CHECK(fd >= 0);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + written, bytes.size() - written);
        FUZZ_CHECK(wrote > 0);
        written += static_cast<std::size_t>(wrote);
    }
    FUZZ_CHECK(::lseek(fd, 0, SEEK_SET) == 0);
    return fd;
}

struct Reading {
    std::vector<std::string> paths;
    RequestReader::Status end = RequestReader::Status::ok;
};

Reading readAll(std::string_view bytes)
{
    const int fd = descriptorOf(bytes);
    RequestReader reader(fd);
    Reading reading;
    std::string path;
    while ((reading.end = reader.next(path)) == RequestReader::Status::ok)
        reading.paths.push_back(path);
    ::close(fd);
    return reading;
}

// The request at `at` decoded plainly: its path, or nothing when the header is bad or the path
// cut off. Moves `at` past it.
bool decodeOne(std::string_view input, std::size_t& at, std::string& path)
{
    const std::size_t newline = input.find('\n', at);
    if (newline == std::string_view::npos || newline - at >= protocol::kMaxHeaderLine ||
        newline == at)
        return false;
    std::size_t length = 0;
    for (std::size_t i = at; i < newline; ++i) {
        const char c = input[i];
        if (c < '0' || c > '9')
            return false;
        length = length * 10 + static_cast<std::size_t>(c - '0');
        if (length > protocol::kMaxPathBytes)
            return false;
    }
    if (input.size() - (newline + 1) < length)
        return false;
    path = std::string(input.substr(newline + 1, length));
    at = newline + 1 + length;
    return true;
}

}  // namespace
}  // namespace vellinor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vellinor;
    using sniffer::RequestReader;
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const fuzz::Reading reading = fuzz::readAll(input);
    std::size_t at = 0;
    std::string expected;
    for (const std::string& path : reading.paths) {
        FUZZ_CHECK(fuzz::decodeOne(input, at, expected));
        FUZZ_CHECK(path == expected);
    }
    if (reading.end == RequestReader::Status::endOfInput)
        FUZZ_CHECK(at == input.size());
    else
        FUZZ_CHECK(reading.end == RequestReader::Status::malformed && at < input.size() &&
                   !fuzz::decodeOne(input, at, expected));

    std::string encoded;
    for (const std::string& path : reading.paths)
        encoded += serve_protocol::requestHeader(path.size()) + path;
    const fuzz::Reading again = fuzz::readAll(encoded);
    FUZZ_CHECK(again.end == RequestReader::Status::endOfInput && again.paths == reading.paths);
    return 0;
}
