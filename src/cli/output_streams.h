#pragma once

// Standard output and standard error as the command line uses them: whole texts written with as
// few write calls as the kernel allows, and lines on standard error never torn apart, whichever
// thread writes them.

#include <string>
#include <string_view>

#include "platform/write_all.h"

namespace vellinor::cli {

// Writes all of a text to a descriptor, retrying short writes (the core's, for standard output).
using platform::writeAll;

// Writes `line` and a line break to standard error in one write call, under a lock shared by
// every thread, so lines never interleave mid-line.
void writeErrorLine(std::string_view line);

// Shows `text` as the status line at the foot of standard error (a progress report), redrawn
// in place; an empty text removes it. While it is shown, writeErrorLine clears it, writes its
// line, and draws it again below, so no line is ever mixed with it.
void setStatusLine(std::string_view text);

// Writes all of `text` to standard output; on failure says why on standard error
// ("vellinor-cli: standard output: Broken pipe") and gives false.
bool writeStandardOutput(std::string_view text);

// "vellinor-cli: <subject>: <why>" on standard error. Line breaks and other control characters
// in `subject` (a file name may hold them) are replaced, so it stays one line.
void reportProblem(std::string_view subject, std::string_view why);

// Sends the core's diagnostic lines to standard error, prefixed with "vellinor-cli: " and, when
// the line comes from a probe of a file (see ProblemSubject), with that file's path.
void sendDiagnosticsToStandardError();

// While alive, diagnostic lines emitted on this thread name `path` as their subject.
class ProblemSubject {
public:
    explicit ProblemSubject(const std::string& path);
    ~ProblemSubject();
    ProblemSubject(const ProblemSubject&) = delete;
    ProblemSubject& operator=(const ProblemSubject&) = delete;

private:
    const std::string* m_previous;
};

}  // namespace vellinor::cli
