#pragma once

// Runs the packet reader (`sniffer --packets`, a child process, so a hostile file can only take
// that process down) and reads its result. Progress is reported while it reads, and the caller may
// cancel.

#include <chrono>
#include <functional>
#include <string>

#include "base/expected.h"
#include "probe/packet_statistics.h"

namespace vellinor {

struct PacketScanOptions {
    // The reader to run instead of the bundled one (tests). Empty: look the resource up.
    std::string toolPath;
    // Reading every packet of a large file on a slow disk takes minutes; past this the reader
    // is killed. Zero: no limit.
    std::chrono::milliseconds timeout{std::chrono::minutes(30)};
    // Called on the calling thread with the fraction read so far (0 to 1), and at least every
    // tenth of a second; returning false cancels the run (the reader is killed).
    std::function<bool(double fraction)> onProgress;
};

Expected<PacketStatistics> scanPackets(const std::string& path,
                                       const PacketScanOptions& options = {});

}  // namespace vellinor
