#include "cli/output_streams.h"

#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "base/diagnostics.h"
#include "format/text_table.h"
#include "platform/write_all.h"

namespace vellinor::cli {
namespace {

std::mutex& errorMutex()
{
    static std::mutex mutex;
    return mutex;
}

thread_local const std::string* currentSubject = nullptr;

// Guarded by errorMutex().
std::string& statusLine()
{
    static std::string line;
    return line;
}

// Carriage return and "erase to the end of the line": the cursor is back at the line's start
// with nothing after it.
constexpr std::string_view kClearLine = "\r\033[K";

}  // namespace

void writeErrorLine(std::string_view line)
{
    std::lock_guard lock(errorMutex());
    const std::string& status = statusLine();
    std::string whole;
    if (!status.empty())
        whole = kClearLine;
    whole += line;
    whole.push_back('\n');
    whole += status;
    // Nothing useful can be done when standard error itself is gone.
    (void)platform::writeAll(STDERR_FILENO, whole);
}

void setStatusLine(std::string_view text)
{
    std::lock_guard lock(errorMutex());
    std::string& status = statusLine();
    if (status.empty() && text.empty())
        return;
    std::string whole(kClearLine);
    whole += text;
    status = text;
    (void)platform::writeAll(STDERR_FILENO, whole);
}

bool writeStandardOutput(std::string_view text)
{
    const Status written = platform::writeAll(STDOUT_FILENO, text);
    if (!written)
        reportProblem("standard output", written.error());
    return written.hasValue();
}

void reportProblem(std::string_view subject, std::string_view why)
{
    std::string line = "vellinor-cli: ";
    line += printableText(subject);
    line += ": ";
    line += printableText(why);
    writeErrorLine(line);
}

void sendDiagnosticsToStandardError()
{
    diagnostics::setSink([](std::string_view line) {
        if (currentSubject && !diagnostics::deliveringGeneralLine())
            reportProblem(*currentSubject, line);
        else
            writeErrorLine("vellinor-cli: " + printableText(line));
    });
}

ProblemSubject::ProblemSubject(const std::string& path) : m_previous(currentSubject)
{
    currentSubject = &path;
}

ProblemSubject::~ProblemSubject()
{
    currentSubject = m_previous;
}

}  // namespace vellinor::cli
