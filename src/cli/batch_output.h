#pragma once

// A batch of files (probe or scan) as the command line runs it: its standard output in one of
// the output kinds (the record array's brackets and separators, the blank line between text
// reports, the CSV header, whether any file counted as failed), and the loop over its files.

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "cli/batch_progress.h"
#include "cli/cli_options.h"
#include "cli/input_source.h"
#include "cli/ordered_batch.h"
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

// Runs a batch over the files of `source` into `output`: `work` on up to options.jobs files at
// once, `deliver` on this thread in the order the files came, with the progress line kept up
// to date; a list that cannot be read to its end counts as a failed file. The exit status.
template <typename Outcome>
int runFileBatch(const CliOptions& options, InputSource& source, BatchOutput& output,
                 const std::function<Outcome(const InputFile&)>& work,
                 const std::function<bool(InputFile&, Outcome&)>& deliver)
{
    if (!output.begin())
        return kExitFileProblem;
    BatchProgress progress(options.progress, source.plannedTotal());
    std::size_t taken = 0;
    std::atomic<std::size_t> total{0};  // set once the source has ended
    runInOrder<InputFile, Outcome>(
        [&]() -> std::optional<InputFile> {
            auto file = source.next();
            if (file)
                ++taken;
            else
                total.store(taken);
            return file;
        },
        options.jobs, defaultWindow(options.jobs), work,
        [&](InputFile& input, Outcome& outcome) {
            if (const std::size_t known = total.load(); known > 0)
                progress.setTotal(known);
            progress.fileDone();
            return deliver(input, outcome);
        });
    if (source.reportListFailure())
        output.markFailed();
    if (!output.end())
        return kExitFileProblem;
    return output.failed() ? kExitFileProblem : kExitSuccess;
}

}  // namespace vellinor::cli
