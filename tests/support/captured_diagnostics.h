#pragma once

// Collects the diagnostic lines printed while it lives, instead of letting them reach standard
// error, and puts the previous sink back when it goes.

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/diagnostics.h"

namespace vellinor::test {

class CapturedDiagnostics {
public:
    CapturedDiagnostics()
        : m_previous(diagnostics::setSink([this](std::string_view line) {
            const std::lock_guard lock(m_mutex);
            m_lines.emplace_back(line);
            m_general.push_back(diagnostics::deliveringGeneralLine());
        }))
    {
    }
    ~CapturedDiagnostics() { diagnostics::setSink(m_previous); }
    CapturedDiagnostics(const CapturedDiagnostics&) = delete;
    CapturedDiagnostics& operator=(const CapturedDiagnostics&) = delete;

    // Read them once the work that prints is done.
    [[nodiscard]] const std::vector<std::string>& lines() const { return m_lines; }
    // Whether each line was about the program rather than the file being probed.
    [[nodiscard]] const std::vector<bool>& general() const { return m_general; }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
    std::vector<bool> m_general;
    diagnostics::Sink m_previous;
};

}  // namespace vellinor::test
