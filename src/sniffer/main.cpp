// sniffer: Vellinor's probe tool. Given ffprobe's nine probe arguments it prints the document
// ffprobe prints; it links libavformat, libavcodec, libavutil and (for --scan) libavfilter.

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "probe/serve_protocol.h"
#include "sniffer/container_extent.h"
#include "sniffer/deep_scan.h"
#include "sniffer/embedded_items.h"
#include "sniffer/encoder_settings.h"
#include "sniffer/first_frame_side_data.h"
#include "sniffer/listen.h"
#include "sniffer/one_shot.h"
#include "sniffer/packet_scan.h"
#include "sniffer/probe_document.h"
#include "sniffer/sandbox.h"
#include "sniffer/serve.h"
#include "sniffer/stream_headers.h"
#include "sniffer/tool_identity.h"

namespace {

int usage()
{
    std::fputs(
        "usage: sniffer -v quiet -print_format json -show_format -show_streams "
        "-show_chapters -show_error FILE | sniffer --serve [--timeout MS] [--max-output BYTES] "
        "[--memory-limit BYTES] [--files-per-child COUNT] | sniffer --listen SOCKET --lock FILE "
        "--idle MS "
        "[--memory-limit BYTES] | sniffer [--memory-limit BYTES] --packets FILE | "
        "sniffer [--memory-limit BYTES] --scan FILE | "
        "sniffer [--memory-limit BYTES] --hdr FILE [STREAM...] | "
        "sniffer [--memory-limit BYTES] --embedded [--pictures-only] FILE | "
        "sniffer [--memory-limit BYTES] --extent FILE | "
        "sniffer [--memory-limit BYTES] --encoder FILE | "
        "sniffer [--memory-limit BYTES] --headers FILE | sniffer --version\n",
        stderr);
    return 2;
}

bool isReadingMode(std::string_view mode)
{
    return mode == "--packets" || mode == "--scan" || mode == "--hdr" || mode == "--embedded" ||
           mode == "--extent" || mode == "--encoder" || mode == "--headers";
}

}  // namespace

int main(int argc, char** argv)
{
    // "-version" too, as ffprobe spells it: the window's resource check runs the tool with it.
    if (argc == 2 &&
        (std::string_view(argv[1]) == "--version" || std::string_view(argv[1]) == "-version"))
        return sniffer::printIdentity();
    if (sniffer::isProbeCommand(argc, argv))
        return sniffer::runOneShot(argv[argc - 1]);
    // Every mode that reads a media file does so in the sandbox (a server's children enter it).
    // "--memory-limit BYTES" in front of such a mode sets the address space it may use there.
    sniffer::SandboxPolicy policy;
    if (argc >= 4 && std::string_view(argv[1]) == "--memory-limit") {
        const auto bytes = vellinor::serve_protocol::parseNumber<std::size_t>(argv[2], SIZE_MAX);
        if (!bytes || !isReadingMode(argv[3]))
            return usage();
        policy.memoryLimitBytes = *bytes;
        argv[2] = argv[0];
        argc -= 2;
        argv += 2;
    }
    if (argc == 3 && std::string_view(argv[1]) == "--packets")
        return sniffer::enterSandboxOrSay(policy) ? sniffer::writePacketStatistics(argv[2], stdout)
                                                  : 1;
    if (argc == 3 && std::string_view(argv[1]) == "--scan")
        return sniffer::enterSandboxOrSay(policy) ? sniffer::writeDeepScan(argv[2], stdout) : 1;
    if (argc == 3 && std::string_view(argv[1]) == "--extent")
        return sniffer::enterSandboxOrSay(policy) ? sniffer::writeContainerExtent(argv[2], stdout)
                                                  : 1;
    if (argc == 3 && std::string_view(argv[1]) == "--encoder")
        return sniffer::enterSandboxOrSay(policy) ? sniffer::writeEncoderSettings(argv[2], stdout)
                                                  : 1;
    if (argc == 3 && std::string_view(argv[1]) == "--headers")
        return sniffer::enterSandboxOrSay(policy) ? sniffer::writeStreamHeaders(argv[2], stdout)
                                                  : 1;
    if (argc >= 3 && std::string_view(argv[1]) == "--hdr")
        return sniffer::enterSandboxOrSay(policy) ? sniffer::runFirstFrameSideData(argc, argv) : 1;
    if (argc >= 3 && std::string_view(argv[1]) == "--embedded") {
        if (!sniffer::enterSandboxOrSay(policy))
            return 1;
        const int status = sniffer::runEmbeddedItems(argc, argv);
        return status == 2 ? usage() : status;
    }
    if (argc >= 2 && std::string_view(argv[1]) == "--serve")
        return sniffer::runServe(argc, argv, sniffer::writeProbeDocument);
    if (argc >= 2 && std::string_view(argv[1]) == "--listen")
        return sniffer::runListen(argc, argv, sniffer::writeProbeDocument);
    return usage();
}
