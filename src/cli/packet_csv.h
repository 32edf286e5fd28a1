#pragma once

// vellinor-cli --bitrate and --gop: each file's packet statistics as CSV on standard output.
//
//   --bitrate  stream,kind,second,bits,kbps,bytes,packets,keyframes,codec,file
//              one row per stream and second, every second from 0 to the end of the file (a
//              second without packets of the stream has zeros)
//   --gop      stream,kind,keyframe,time,frame,gop_frames,gop_min,gop_median,gop_max,codec,file
//              one row per keyframe of each video stream: its number (from 0), presentation
//              time in seconds from the start, frame number in presentation order, the length
//              of the GOP it starts, and the stream's shortest, median and longest GOP

#include <string>

#include "cli/cli_options.h"
#include "probe/packet_statistics.h"

namespace vellinor::cli {

// The header line and the rows of one file, as RFC 4180 records (format/csv_text.h).
std::string bitrateCsvHeader();
std::string bitrateCsvRows(const PacketStatistics& statistics, const std::string& path);
std::string gopCsvHeader();
std::string gopCsvRows(const PacketStatistics& statistics, const std::string& path);

// Reads every file the options name and prints the CSV they ask for; returns the exit status.
int runPacketCsv(const CliOptions& options);

}  // namespace vellinor::cli
