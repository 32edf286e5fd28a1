#pragma once

// Helpers shared by the test programs: temporary folders, fake probe tools, and media made
// with ffmpeg at test time.

#include <filesystem>
#include <string>
#include <vector>

namespace vellinor::test {

// A fresh folder under the system's temporary folder, removed (recursively) on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }
    [[nodiscard]] std::filesystem::path operator/(const std::string& name) const
    {
        return m_path / name;
    }

private:
    std::filesystem::path m_path;
};

// Writes `content` to `path` (binary), creating parent folders.
void writeFile(const std::filesystem::path& path, const std::string& content);
std::string readFile(const std::filesystem::path& path);

// Writes an executable /bin/sh script `body` (without the #! line) at `path`.
void writeScript(const std::filesystem::path& path, const std::string& body);

// Runs ffmpeg with `arguments` (after "-y -v error -nostdin"); fails the test on error.
// Returns true when ffmpeg succeeded.
bool runFfmpeg(const std::vector<std::string>& arguments);

// Makes the four files of scripts/make-compare-set in `folder` and returns their paths, sorted:
// Matroska files alike in every compared fact but frame rate (25, 30) and audio language
// (English, French). Fails the test when the script fails.
std::vector<std::filesystem::path> makeComparisonSet(const std::filesystem::path& folder);

// The paths of the ffmpeg and ffprobe found at configure time.
std::string ffmpegPath();
std::string ffprobePath();

}  // namespace vellinor::test
