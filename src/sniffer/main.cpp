// sniffer: Vellinor's probe tool. Given ffprobe's nine probe arguments it prints the document
// ffprobe prints; it links libavformat, libavcodec, libavutil and (for --scan) libavfilter.

#include <cstdio>
#include <string_view>

#include "sniffer/deep_scan.h"
#include "sniffer/first_frame_side_data.h"
#include "sniffer/listen.h"
#include "sniffer/one_shot.h"
#include "sniffer/packet_scan.h"
#include "sniffer/probe_document.h"
#include "sniffer/sandbox.h"
#include "sniffer/serve.h"
#include "sniffer/tool_identity.h"

int main(int argc, char** argv)
{
    // "-version" too, as ffprobe spells it: the window's resource check runs the tool with it.
    if (argc == 2 &&
        (std::string_view(argv[1]) == "--version" || std::string_view(argv[1]) == "-version"))
        return sniffer::printIdentity();
    if (sniffer::isProbeCommand(argc, argv))
        return sniffer::runOneShot(argv[argc - 1]);
    // Every mode that reads a media file does so in the sandbox (a server's children enter it).
    if (argc == 3 && std::string_view(argv[1]) == "--packets")
        return sniffer::enterSandboxOrSay() ? sniffer::writePacketStatistics(argv[2], stdout) : 1;
    if (argc == 3 && std::string_view(argv[1]) == "--scan")
        return sniffer::enterSandboxOrSay() ? sniffer::writeDeepScan(argv[2], stdout) : 1;
    if (argc >= 3 && std::string_view(argv[1]) == "--hdr")
        return sniffer::enterSandboxOrSay() ? sniffer::runFirstFrameSideData(argc, argv) : 1;
    if (argc >= 2 && std::string_view(argv[1]) == "--serve")
        return sniffer::runServe(argc, argv, sniffer::writeProbeDocument);
    if (argc >= 2 && std::string_view(argv[1]) == "--listen")
        return sniffer::runListen(argc, argv, sniffer::writeProbeDocument);
    std::fputs(
        "usage: sniffer -v quiet -print_format json -show_format -show_streams "
        "-show_chapters -show_error FILE | sniffer --serve [--timeout MS] [--max-output BYTES] "
        "[--memory-limit BYTES] [--files-per-child COUNT] | sniffer --listen SOCKET --lock FILE "
        "--idle MS [--memory-limit BYTES] | sniffer --packets FILE | sniffer --hdr FILE "
        "[STREAM...] | sniffer --version\n",
        stderr);
    return 2;
}
