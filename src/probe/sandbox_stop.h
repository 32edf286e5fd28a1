#pragma once

// The line a sandboxed sniffer writes to its answer before it dies of SIGSYS for a call its
// sandbox does not allow (src/sniffer/sandbox.h). Header-only and free of the rest of the core,
// so the sniffer writes it and the core reads it from the same definition.

#include <optional>
#include <string>
#include <string_view>

namespace vellinor::sandbox_stop {

inline constexpr std::string_view kPrefix = "sniffer: stopped by its sandbox: ";

// The call named by the last such line of `output`; nothing when there is none, or when what
// follows the prefix is no call name (lower-case letters, digits, '_' and spaces only).
inline std::optional<std::string> stoppedCall(std::string_view output)
{
    std::size_t at = output.rfind(kPrefix);
    while (at != std::string_view::npos && at != 0 && output[at - 1] != '\n')
        at = at == 0 ? std::string_view::npos : output.rfind(kPrefix, at - 1);
    if (at == std::string_view::npos)
        return std::nullopt;
    std::string_view call = output.substr(at + kPrefix.size());
    call = call.substr(0, call.find('\n'));
    if (call.empty() || call.size() > 40)
        return std::nullopt;
    for (char c : call) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == ' ';
        if (!plain)
            return std::nullopt;
    }
    return std::string(call);
}

}  // namespace vellinor::sandbox_stop
