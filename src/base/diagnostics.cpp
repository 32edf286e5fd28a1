#include "base/diagnostics.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

namespace vellinor::diagnostics {
namespace {

std::mutex& sinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

Sink& currentSink()
{
    static Sink sink;
    return sink;
}

void writeToStandardOutput(std::string_view line)
{
    std::string whole(line);
    whole.push_back('\n');
    std::fwrite(whole.data(), 1, whole.size(), stdout);
    std::fflush(stdout);
}

thread_local bool generalLine = false;

}  // namespace

void emitGeneralLine(std::string_view line)
{
    generalLine = true;
    emitLine(line);
    generalLine = false;
}

bool deliveringGeneralLine()
{
    return generalLine;
}

void emitLine(std::string_view line)
{
    // Held while writing, so lines from worker threads never interleave.
    std::lock_guard lock(sinkMutex());
    if (currentSink())
        currentSink()(line);
    else
        writeToStandardOutput(line);
}

Sink setSink(Sink sink)
{
    std::lock_guard lock(sinkMutex());
    return std::exchange(currentSink(), std::move(sink));
}

}  // namespace vellinor::diagnostics
