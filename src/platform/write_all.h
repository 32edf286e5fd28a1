#pragma once

// Writing every byte to a descriptor (header only, so the sniffer can share it).

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "base/expected.h"

namespace vellinor::platform {

// Writes all of `text` to file descriptor `fd`, retrying short writes and interruptions. Fails
// with the system's reason ("Broken pipe", "No space left on device") when the descriptor
// refuses more bytes.
inline Status writeAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return Unexpected(std::string(std::strerror(errno)));
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return ok();
}

}  // namespace vellinor::platform
