#pragma once

// The standard output of a batch of files (probe or scan), in one of the output kinds: the
// record array's brackets and separators, the blank line between text reports, the CSV
// header, and whether any file counted as failed.

#include <string>
#include <string_view>

#include "cli/cli_options.h"
#include "cli/probe_record.h"

namespace vellinor::cli {

class BatchOutput {
public:
    BatchOutput(OutputKind kind, std::string csvHeader);

    // The record array's "[", or the CSV header.
    bool begin();
    // One file's part, in the order the files were given: a text report, a record element, a
    // JSON line, a CSV row or a probe document (empty: the file adds nothing), then the file's
    // problem, if any, on standard error. False once standard output is gone.
    bool file(const std::string& path, std::string part, const std::string& problem);
    // The record array's "]".
    bool end();

    [[nodiscard]] bool failed() const { return m_failed; }
    void markFailed() { m_failed = true; }

private:
    bool write(std::string_view text);

    OutputKind m_kind;
    std::string m_csvHeader;
    RecordArrayWriter m_records;
    bool m_wroteReport = false;
    bool m_failed = false;
};

}  // namespace vellinor::cli
