#pragma once

// The limits a child run has unless its caller sets its own: the process runner's and the probe
// server's (header only, so the sniffer shares them). The probe tool's time limit per file is
// the same 60 s (probe/probe_defaults.h).

#include <chrono>
#include <cstddef>

namespace vellinor::platform {

// After this long a child is killed and its run counts as timed out.
inline constexpr std::chrono::milliseconds kDefaultRunTimeLimit{60'000};
// Once a child has printed more than this, it is killed and its output discarded.
inline constexpr std::size_t kDefaultRunOutputCap = std::size_t{256} << 20;

}  // namespace vellinor::platform
