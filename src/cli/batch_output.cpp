#include "cli/batch_output.h"

#include <utility>

#include "cli/output_streams.h"

namespace vellinor::cli {

BatchOutput::BatchOutput(OutputKind kind, std::string csvHeader)
    : m_kind(kind), m_csvHeader(std::move(csvHeader))
{
}

bool BatchOutput::begin()
{
    if (m_kind == OutputKind::record)
        return write(m_records.begin());
    if (m_kind == OutputKind::csv)
        return write(m_csvHeader);
    return true;
}

bool BatchOutput::file(const std::string& path, std::string part, const std::string& problem)
{
    if (!part.empty()) {
        if (m_kind == OutputKind::record) {
            part = m_records.element(part);
        } else if (m_kind == OutputKind::textReport) {
            // Reports are told apart by a blank line.
            if (m_wroteReport)
                part = "\n" + part;
            m_wroteReport = true;
        }
        if (!write(part))
            return false;
    }
    if (!problem.empty()) {
        reportProblem(path, problem);
        m_failed = true;
    }
    return true;
}

bool BatchOutput::end()
{
    return m_kind != OutputKind::record || write(m_records.end());
}

bool BatchOutput::write(std::string_view text)
{
    if (writeStandardOutput(text))
        return true;
    m_failed = true;
    return false;
}

}  // namespace vellinor::cli
