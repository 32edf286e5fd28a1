#pragma once

// One row per file with the facts people sort and filter a library on, as RFC 4180 text
// (format/csv_text.h): what `vellinor-cli --csv` prints and the window's sheet exports. The
// columns are a contract with scripts, as the record's keys are: only ever added at the end.

#include <string>
#include <string_view>
#include <vector>

#include "probe/file_probe.h"

namespace vellinor {

// The column names, in order.
const std::vector<std::string>& csvColumns();

// "path,size,duration,container,video_codec,resolution,frame_rate,audio_codecs,
// audio_languages,subtitle_languages,bit_rate,problem" and CRLF.
std::string csvHeader();

// The fields of one file's row, one per column, unquoted.
std::vector<std::string> csvFields(std::string_view path, const FileProbe& probe,
                                   std::string_view problem);

// The row of one file; `path` as given, `problem` as on standard error (empty when none).
std::string csvRow(std::string_view path, const FileProbe& probe, std::string_view problem);

}  // namespace vellinor
