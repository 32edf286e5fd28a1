#pragma once

// The server's reader of the client's requests (serve_protocol.h): a header line with a byte
// count, then that many bytes of path. Reads a descriptor; header-only, so a fuzz target can
// feed it any bytes.

#include <unistd.h>

#include <array>
#include <cerrno>
#include <string>

#include "probe/serve_protocol.h"

namespace sniffer {

class RequestReader {
public:
    explicit RequestReader(int fd) : m_fd(fd) {}

    enum class Status { ok, endOfInput, malformed };

    Status next(std::string& path)
    {
        namespace protocol = vellinor::serve_protocol;
        std::string line;
        for (;;) {
            // A line is cut off at the same length as the client cuts off the server's lines,
            // also when its break came in the same read.
            const auto newline = m_buffer.find('\n');
            if (newline != std::string::npos && newline < protocol::kMaxHeaderLine) {
                line = m_buffer.substr(0, newline);
                m_buffer.erase(0, newline + 1);
                break;
            }
            if (m_buffer.size() >= protocol::kMaxHeaderLine)
                return Status::malformed;
            if (!fill())
                return m_buffer.empty() ? Status::endOfInput : Status::malformed;
        }
        const auto length = protocol::parseRequestHeader(line);
        if (!length)
            return Status::malformed;
        while (m_buffer.size() < *length) {
            if (!fill())
                return Status::malformed;
        }
        path = m_buffer.substr(0, *length);
        m_buffer.erase(0, *length);
        return Status::ok;
    }

private:
    // False at the end of input or on a read error.
    bool fill()
    {
        std::array<char, 4096> chunk{};
        for (;;) {
            const ssize_t got = ::read(m_fd, chunk.data(), chunk.size());
            if (got > 0) {
                m_buffer.append(chunk.data(), static_cast<std::size_t>(got));
                return true;
            }
            if (got < 0 && errno == EINTR)
                continue;
            return false;
        }
    }

    int m_fd;
    std::string m_buffer;
};

}  // namespace sniffer
