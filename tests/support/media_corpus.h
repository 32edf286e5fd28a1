#pragma once

// A corpus of small media files of many kinds, made with ffmpeg and mkvmerge at test time
// (a few seconds in all): every container and stream kind the probe tool meets, tags in
// Unicode and invalid UTF-8, chapters, cover art, attachments, side data, and files no tool
// can read. For tests that hold two probe tools' output side by side.

#include <filesystem>
#include <string>
#include <vector>

namespace vellinor::test {

struct CorpusFile {
    std::string name;            // the file's name in the corpus folder
    std::filesystem::path path;  // where it is (a missing file's path does not exist)
};

// Makes the corpus in `folder` (which must exist) and lists its files, in a fixed order.
// A step that fails is reported as a test failure; the files made so far are still listed.
std::vector<CorpusFile> makeMediaCorpus(const std::filesystem::path& folder);

// The path of mkvmerge found at configure time (empty when there is none).
std::string mkvmergePath();

}  // namespace vellinor::test
