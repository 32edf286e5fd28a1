// vellinor-scan: the packet statistics and first-frame HDR facts, run as a child process so a
// hostile file can only take this process down. (These modes move into the sniffer program.)
//
//     vellinor-scan --packets PATH
//     vellinor-scan --hdr PATH [STREAM_INDEX...]

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sniffer/first_frame_side_data.h"
#include "sniffer/packet_scan.h"

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--packets") == 0)
        return vellinor::sniffer::writePacketStatistics(argv[2], stdout);
    if (argc >= 3 && std::strcmp(argv[1], "--hdr") == 0) {
        std::vector<int> indexes;
        for (int i = 3; i < argc; ++i)
            indexes.push_back(std::atoi(argv[i]));
        return vellinor::sniffer::writeFirstFrameSideData(argv[2], indexes, stdout);
    }
    std::fputs("usage: vellinor-scan --packets PATH | --hdr PATH [STREAM_INDEX...]\n", stderr);
    return 2;
}
