#include "cli/batch_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>

#include "cli/output_streams.h"

namespace vellinor::cli {
namespace {

// A batch this small, or this quick, is over before a progress line would help.
constexpr std::size_t kFewFiles = 4;
constexpr std::chrono::milliseconds kQuietStart{500};
constexpr std::chrono::milliseconds kRedrawEvery{100};

std::string clockText(long long seconds)
{
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

// Columns of the terminal on standard error, or 0 when unknown.
std::size_t terminalWidth()
{
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

}  // namespace

std::string progressText(std::size_t done, std::optional<std::size_t> total,
                         std::chrono::duration<double> elapsed)
{
    char text[160];
    int length = total
                     ? std::snprintf(text, sizeof text, "vellinor-cli: %zu/%zu files", done, *total)
                     : std::snprintf(text, sizeof text, "vellinor-cli: %zu files", done);
    const double seconds = elapsed.count();
    if (done > 0 && seconds > 0.0) {
        const double rate = static_cast<double>(done) / seconds;
        length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length),
                                ", %.1f files/s", rate);
        if (total && *total >= done) {
            const std::string left =
                clockText(std::llround(static_cast<double>(*total - done) / rate));
            std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length),
                          ", %s left", left.c_str());
        }
    }
    return text;
}

BatchProgress::BatchProgress(ProgressMode mode, std::optional<std::size_t> total)
    : m_enabled(mode == ProgressMode::always ||
                (mode == ProgressMode::automatic && ::isatty(STDERR_FILENO) == 1 &&
                 (!total || *total > kFewFiles)))
    , m_forced(mode == ProgressMode::always)
    , m_total(total)
{
}

BatchProgress::~BatchProgress()
{
    if (m_drawn)
        setStatusLine({});
}

void BatchProgress::fileDone()
{
    ++m_done;
    if (!m_enabled)
        return;
    const auto now = Clock::now();
    // Unforced, a batch of unknown size shows nothing until it has proved more than a few files.
    if (!m_forced && (now - m_start < kQuietStart || (m_total ? *m_total : m_done) <= kFewFiles))
        return;
    if (m_lastDraw && now - *m_lastDraw < kRedrawEvery && !(m_total && m_done == *m_total))
        return;
    m_lastDraw = now;
    std::string text = progressText(m_done, m_total, now - m_start);
    // Wider than the terminal, the line would wrap and \r could no longer redraw it.
    const std::size_t width = terminalWidth();
    if (width > 1 && text.size() >= width)
        text.resize(width - 1);
    setStatusLine(text);
    m_drawn = true;
}

}  // namespace vellinor::cli
