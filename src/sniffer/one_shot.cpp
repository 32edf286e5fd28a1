#include "sniffer/one_shot.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "sniffer/probe_document.h"
#include "sniffer/sandbox.h"

extern "C" {
#include <libavutil/log.h>
}

namespace sniffer {

bool isProbeCommand(int argc, const char* const* argv)
{
    static constexpr std::string_view expected[] = {
        "-v",           "quiet",         "-print_format",  "json",
        "-show_format", "-show_streams", "-show_chapters", "-show_error"};
    constexpr int count = static_cast<int>(std::size(expected));
    if (argc != count + 2)
        return false;
    for (int i = 0; i < count; ++i) {
        if (expected[i] != argv[i + 1])
            return false;
    }
    return true;
}

int runOneShot(const char* path)
{
    av_log_set_level(AV_LOG_QUIET);
    if (!enterSandboxOrSay())
        return 1;
    std::string document;
    const int status = writeProbeDocument(path, document);
    std::fwrite(document.data(), 1, document.size(), stdout);
    return std::fflush(stdout) == 0 ? status : 1;
}

}  // namespace sniffer
