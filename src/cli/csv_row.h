#pragma once

// `vellinor-cli --csv`: one row per file with the facts people sort and filter a library on,
// as RFC 4180 text (format/csv_text.h). The columns are a contract with scripts, as the record's
// keys are: only ever added at the end.

#include <string>
#include <string_view>

#include "probe/file_probe.h"

namespace vellinor::cli {

// "path,size,duration,container,video_codec,resolution,frame_rate,audio_codecs,
// audio_languages,subtitle_languages,bit_rate,problem" and CRLF.
std::string csvHeader();

// The row of one file; `path` as given, `problem` as on standard error (empty when none).
std::string csvRow(std::string_view path, const FileProbe& probe, std::string_view problem);

}  // namespace vellinor::cli
