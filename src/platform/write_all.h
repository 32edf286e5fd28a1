#pragma once

// Writing every byte to a descriptor (header only, so the sniffer can share it).

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string_view>

namespace vellinor::platform {

// Writes all of `text` to file descriptor `fd`, retrying short writes and interruptions.
// Returns false (errno set) when the descriptor refuses more bytes.
inline bool writeAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace vellinor::platform
