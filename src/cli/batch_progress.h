#pragma once

// The one-line progress of a batch on standard error: files done (of how many, once known),
// files per second and the time left, redrawn in place and removed when the batch ends.

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace vellinor::cli {

enum class ProgressMode { automatic, always, never };

// "vellinor-cli: 120/2000 files, 45.3 files/s, 0:41 left"; without a total, "vellinor-cli:
// 120 files, 45.3 files/s".
std::string progressText(std::size_t done, std::optional<std::size_t> total,
                         std::chrono::duration<double> elapsed);

class BatchProgress {
public:
    // automatic: shown when standard error is a terminal, the batch holds more than a few files
    // (or an unknown number) and it has run long enough to be worth watching.
    BatchProgress(ProgressMode mode, std::optional<std::size_t> total);
    ~BatchProgress();
    BatchProgress(const BatchProgress&) = delete;
    BatchProgress& operator=(const BatchProgress&) = delete;

    void setTotal(std::size_t total) { m_total = total; }
    // One more file finished; redraws at most ten times a second.
    void fileDone();

private:
    using Clock = std::chrono::steady_clock;
    bool m_enabled;
    bool m_forced;
    std::optional<std::size_t> m_total;
    std::size_t m_done = 0;
    Clock::time_point m_start = Clock::now();
    std::optional<Clock::time_point> m_lastDraw;
    bool m_drawn = false;
};

}  // namespace vellinor::cli
