// FileProbe against fake probe tools (shell scripts standing in for ffprobe) and against the
// real ffprobe on media made with ffmpeg.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "format/utils.h"
#include "probe/file_probe.h"
#include "probe_test_support.h"
#include "support/captured_diagnostics.h"
#include "support/test_support.h"

namespace vellinor {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// A non-empty media file and a fake tool whose script body is `body`.
struct FakeTool {
    TempDir folder;
    fs::path media;
    fs::path tool;

    explicit FakeTool(const std::string& body, const std::string& mediaName = "film.mkv")
        : media(folder / mediaName), tool(folder / "sniffer")
    {
        test::writeFile(media, "not really media");
        test::writeScript(tool, body);
    }

    [[nodiscard]] FileProbe probe(
        std::chrono::milliseconds timeout = std::chrono::seconds(30)) const
    {
        ProbeOptions options;
        options.toolPath = tool.string();
        options.timeout = timeout;
        return FileProbe(media.string(), options);
    }
};

std::string printing(const std::string& output)
{
    return "cat <<'JSON_END'\n" + output + "\nJSON_END";
}

// Only the file facts are set: what a run that gave nothing readable leaves.
void expectFileFactsOnly(const FileProbe& probe, const fs::path& media)
{
    EXPECT_EQ(probe.fileSize, fs::file_size(media));
    EXPECT_EQ(probe.fileSizeHuman, Utils::getFileSizeHuman(media.string()));
    EXPECT_EQ(probe.fileName, media.filename().string());
    EXPECT_FALSE(probe.hasErrors);
    EXPECT_FALSE(probe.isValidMediaFile);
    EXPECT_FALSE(probe.isEncrypted);
    EXPECT_EQ(probe.numberOfTracks, 0);
    EXPECT_EQ(probe.duration, 0.0);
    EXPECT_FALSE(probe.durationHuman.has_value());
    EXPECT_EQ(probe.bitrate, 0);
    EXPECT_FALSE(probe.bitrateHuman.has_value());
    EXPECT_FALSE(probe.json.has_value());
    EXPECT_TRUE(probe.tracksInfo.empty());
    EXPECT_TRUE(probe.metadata.empty());
    EXPECT_FALSE(probe.firstVideoTrackInfo.has_value());
    EXPECT_FALSE(probe.firstAudioTrackInfo.has_value());
}

TEST(FileProbeRun, OutputThatIsNotADocumentLeavesOnlyTheFileFacts)
{
    for (const char* body :
         {"exit 0", "echo hello", "printf '{\"format\": '", "echo 42", "exit 1"}) {
        SCOPED_TRACE(body);
        const FakeTool fake(body);
        const FileProbe probe = fake.probe();
        expectFileFactsOnly(probe, fake.media);
        EXPECT_EQ(probe.toolProblem, "");
    }
}

TEST(FileProbeRun, ErrorMemberMarksTheFileAndStopsEverything)
{
    const FakeTool fake(printing(R"({"format": {"duration": "5", "bit_rate": "1000"},
        "streams": [{"codec_type": "audio"}], "error": {"code": -1094995529,
        "string": "Invalid data found when processing input"}})") +
                        "\nexit 1");
    const FileProbe probe = fake.probe();
    EXPECT_TRUE(probe.hasErrors);
    EXPECT_FALSE(probe.json.has_value());
    EXPECT_FALSE(probe.durationHuman.has_value());
    EXPECT_EQ(probe.numberOfTracks, 0);
    EXPECT_EQ(probe.numberOfAudioTracks, 0);
    EXPECT_TRUE(probe.metadata.empty());
    EXPECT_TRUE(probe.tracksInfo.empty());
    EXPECT_EQ(probe.fileName, "film.mkv");
    EXPECT_EQ(probe.toolProblem, "");
}

TEST(FileProbeRun, EmptyObjectGivesZeroTexts)
{
    const FakeTool fake(printing("{}"));
    const FileProbe probe = fake.probe();
    EXPECT_FALSE(probe.hasErrors);
    EXPECT_FALSE(probe.isValidMediaFile);
    EXPECT_EQ(probe.numberOfTracks, 0);
    ASSERT_TRUE(probe.json.has_value());
    EXPECT_EQ(probe.json->type(), JSONType::dictionary);
    EXPECT_EQ(probe.durationHuman, "00:00:00.000");
    EXPECT_EQ(probe.bitrateHuman, "0.0kbps");
    EXPECT_TRUE(probe.metadata.empty());
    EXPECT_TRUE(probe.tracksInfo.empty());
}

TEST(FileProbeRun, FormatLevelValuesAndTheirTexts)
{
    struct Case {
        const char* format;
        double duration;
        const char* durationHuman;
        std::int64_t bitrate;
        const char* bitrateHuman;
    };
    const Case cases[] = {
        {R"({"duration": "7.3", "bit_rate": "1411"})", 7.3, "00:00:07.300", 1411, "1.411kbps"},
        {R"({"duration": 3700, "bit_rate": 1500})", 3700.0, "01:01:40.000", 1500, "1.5kbps"},
        {R"({"bit_rate": "2000"})", 0.0, "00:00:00.000", 2000, "2.0kbps"},
        {R"({"bit_rate": "96"})", 0.0, "00:00:00.000", 96, "0.096kbps"},
        {R"({"duration": "N/A", "bit_rate": "N/A"})", 0.0, "00:00:00.000", 0, "0.0kbps"},
        {R"({"bit_rate": "320000"})", 0.0, "00:00:00.000", 320000, "320.0kbps"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        const FileProbe probe = test::probeOf(R"({"format": )" + std::string(c.format) + "}");
        EXPECT_EQ(probe.duration, c.duration);
        EXPECT_EQ(probe.durationHuman, c.durationHuman);
        EXPECT_EQ(probe.bitrate, c.bitrate);
        EXPECT_EQ(probe.bitrateHuman, c.bitrateHuman);
    }
}

TEST(FileProbeRun, TextFilesAreNeverValidMedia)
{
    const std::pair<const char*, bool> cases[] = {
        {"/m/notes.txt", false},    {"/m/NOTES.TXT", false},    {"/m/notes.Txt", false},
        {"/m/film.mkv", true},      {"/m/film", true},          {"/m/.txt", true},
        {"/m/notes.txt.mkv", true}, {"/m/film.mkv.txt", false}, {"notes.txt", false},
    };
    for (const auto& [path, valid] : cases) {
        SCOPED_TRACE(path);
        const FileProbe probe = test::probeOf(
            R"({"streams": [{"codec_type": "subtitle", "codec_name": "subrip",
                             "codec_tag_string": "drms"}]})",
            path);
        EXPECT_EQ(probe.isValidMediaFile, valid);
        EXPECT_EQ(probe.isEncrypted, valid);  // the scan runs only for valid media
        EXPECT_EQ(probe.numberOfTracks, 1);
        EXPECT_EQ(probe.numberOfSubtitleTracks, 1);
        EXPECT_EQ(probe.tracksInfo.size(), 1u);
    }
}

TEST(FileProbeRun, EncryptionIsALowerCaseDrmTag)
{
    const std::pair<const char*, bool> cases[] = {
        {R"([{"codec_tag_string": "drms"}])", true},
        {R"([{"codec_tag_string": "avc1"}, {"codec_tag_string": "drmi"}])", true},
        {R"([{"codec_tag_string": "xdrm"}])", true},
        {R"([{"codec_tag_string": "DRMS"}])", false},
        {R"([{"codec_tag_string": "dRm"}])", false},
        {R"([{"codec_name": "drm"}])", false},
        {R"([])", false},
    };
    for (const auto& [streams, encrypted] : cases) {
        SCOPED_TRACE(streams);
        const FileProbe probe = test::probeOf(R"({"streams": )" + std::string(streams) + "}");
        EXPECT_EQ(probe.isEncrypted, encrypted);
    }
}

TEST(FileProbeRun, StreamsThatAreNotAnArrayCountAsNone)
{
    const FileProbe probe = test::probeOf(R"({"streams": {"codec_type": "audio"}})");
    EXPECT_EQ(probe.numberOfTracks, 0);
    EXPECT_FALSE(probe.isValidMediaFile);
    EXPECT_TRUE(probe.tracksInfo.empty());
    EXPECT_EQ(probe.firstAudioTrackInfo->type(), JSONType::null);
}

std::vector<std::string> recordedArguments(const fs::path& file)
{
    std::vector<std::string> arguments;
    std::string all = test::readFile(file);
    std::size_t start = 0;
    while (start < all.size()) {
        const auto end = all.find('\0', start);
        arguments.push_back(all.substr(start, end - start));
        start = end == std::string::npos ? all.size() : end + 1;
    }
    return arguments;
}

// The script records its arguments, each ended by a NUL, into "arguments".
constexpr const char* kRecordingTool =
    R"(for a in "$@"; do printf '%s\0' "$a"; done > "$(dirname "$0")/arguments"
printf '{}')";

TEST(FileProbeRun, PathReachesTheToolAsOneArgument)
{
    for (const char* name : {"film.mkv", "my film \"final\" it's.mkv", "-x.mkv", "-v", "file:a.mkv",
                             "a\nb.mkv", "$(touch pwned).mkv", "é 中文.mkv"}) {
        SCOPED_TRACE(name);
        const FakeTool fake(kRecordingTool, name);
        const FileProbe probe = fake.probe();
        EXPECT_TRUE(probe.json.has_value());
        EXPECT_EQ(recordedArguments(fake.folder / "arguments"),
                  (std::vector<std::string>{"-v", "quiet", "-print_format", "json", "-show_format",
                                            "-show_streams", "-show_chapters", "-show_error",
                                            fake.media.string()}));
        EXPECT_FALSE(fs::exists(fake.folder / "pwned"));
    }
}

// Changes the working folder for the life of the object.
class WorkingFolder {
public:
    explicit WorkingFolder(const fs::path& folder) : m_previous(fs::current_path())
    {
        fs::current_path(folder);
    }
    ~WorkingFolder() { fs::current_path(m_previous); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
    fs::path m_previous;
};

TEST(FileProbeRun, RelativePathsAreMadeAbsoluteLexically)
{
    const auto cwd = fs::current_path().string();
    const std::pair<std::string, std::string> cases[] = {
        {"-x.mkv", cwd + "/-x.mkv"},
        {"http:film.mkv", cwd + "/http:film.mkv"},
        {"sub/../film.mkv", cwd + "/sub/../film.mkv"},
        {"/abs/../-film.mkv", "/abs/../-film.mkv"},
        {"/tmp/a b", "/tmp/a b"},
    };
    for (const auto& [path, expected] : cases) {
        const auto arguments = FileProbe::toolArguments(path);
        ASSERT_EQ(arguments.size(), 9u);
        EXPECT_EQ(arguments[8], expected);
    }
}

TEST(FileProbeRun, RelativeDashNameIsProbedAsAFile)
{
    const FakeTool fake(kRecordingTool, "-x.mkv");
    const WorkingFolder inFolder(fake.folder.path());
    ProbeOptions options;
    options.toolPath = fake.tool.string();
    const FileProbe probe("-x.mkv", options);
    EXPECT_EQ(probe.fileName, "-x.mkv");
    EXPECT_EQ(probe.fileSize, fs::file_size(fake.media));
    const auto arguments = recordedArguments(fake.folder / "arguments");
    ASSERT_EQ(arguments.size(), 9u);
    EXPECT_TRUE(fs::equivalent(arguments[8], fake.media));
    EXPECT_EQ(fs::path(arguments[8]).filename(), "-x.mkv");
    EXPECT_TRUE(fs::path(arguments[8]).is_absolute());
}

TEST(FileProbeRun, HungToolIsStoppedAndCountsAsEmptyOutput)
{
    const FakeTool fake("printf '{}'\nexec sleep 60");
    const auto start = std::chrono::steady_clock::now();
    const FileProbe probe = fake.probe(std::chrono::milliseconds(500));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(20));
    expectFileFactsOnly(probe, fake.media);
    EXPECT_EQ(probe.toolProblem, "the probe tool timed out after 500 ms");
}

TEST(FileProbeRun, ToolProblemTexts)
{
    const FakeTool crashing("printf '{}'\nkill -SEGV $$");
    const FileProbe crashed = crashing.probe();
    EXPECT_EQ(crashed.toolProblem, "the probe tool was killed by signal 11");
    // What it printed before dying is still read.
    EXPECT_TRUE(crashed.json.has_value());

    const FakeTool flooding("exec cat /dev/zero");
    const FileProbe flooded = flooding.probe();
    EXPECT_EQ(flooded.toolProblem, "the probe tool printed more than 32 MiB");
    expectFileFactsOnly(flooded, flooding.media);

    const FakeTool hanging("exec sleep 60");
    EXPECT_EQ(hanging.probe(std::chrono::seconds(1)).toolProblem,
              "the probe tool timed out after 1 s");
}

TEST(FileProbeRun, ChattyStandardErrorNeverBlocksTheRun)
{
    const FakeTool fake("head -c 100000000 /dev/zero >&2\n" + printing(R"({"streams": [{}]})"));
    const FileProbe probe = fake.probe();
    EXPECT_EQ(probe.toolProblem, "");
    EXPECT_EQ(probe.numberOfTracks, 1);
}

TEST(FileProbeRun, ToolThatCannotStartIsReportedOnce)
{
    TempDir folder;
    const fs::path media = folder / "film.mkv";
    test::writeFile(media, "data");
    const fs::path notExecutable = folder / "sniffer";
    test::writeFile(notExecutable, "#!/bin/sh\nprintf '{}'\n");

    for (const fs::path& tool : {folder / "missing-tool", notExecutable}) {
        SCOPED_TRACE(tool.string());
        const test::CapturedDiagnostics captured;
        ProbeOptions options;
        options.toolPath = tool.string();
        const FileProbe probe(media.string(), options);
        const std::vector<std::string>& lines = captured.lines();

        expectFileFactsOnly(probe, media);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_FALSE(lines[0].empty());
        EXPECT_EQ(probe.toolProblem, "could not start the probe tool: " + lines[0]);
    }
}

TEST(FileProbeRun, EmptyFileNeverStartsTheTool)
{
    TempDir folder;
    const fs::path media = folder / "empty.mkv";
    test::writeFile(media, "");
    test::writeScript(folder / "sniffer", "touch \"$(dirname \"$0\")/ran\"\nprintf '{}'");
    ProbeOptions options;
    options.toolPath = (folder / "sniffer").string();
    const FileProbe probe(media.string(), options);
    EXPECT_TRUE(probe.hasErrors);
    EXPECT_FALSE(fs::exists(folder / "ran"));
    EXPECT_EQ(probe.fileSize, 0u);
    EXPECT_EQ(probe.fileSizeHuman, Utils::getFileSizeHuman(media.string()));
    EXPECT_EQ(probe.fileName, "empty.mkv");
    EXPECT_FALSE(probe.json.has_value());
    EXPECT_FALSE(probe.durationHuman.has_value());
}

// Sets an environment variable for the life of the object.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_previous = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment()
    {
        if (m_previous)
            ::setenv(m_name, m_previous->c_str(), 1);
        else
            ::unsetenv(m_name);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_previous;
};

TEST(FileProbeRun, MissingToolResourceIsNoError)
{
    TempDir resources;
    TempDir media;
    test::writeFile(media / "film.mkv", "data");
    const ScopedEnvironment environment("VELLINOR_RESOURCE_DIR", resources.path().string());
    const FileProbe probe((media / "film.mkv").string());
    expectFileFactsOnly(probe, media / "film.mkv");
    // Not an error of the file, but the reason it shows nothing.
    EXPECT_EQ(probe.toolProblem, "the probe tool is not among the resources");
}

TEST(FileProbeRun, ToolResourceIsFoundAndRun)
{
    TempDir resources;
    TempDir media;
    test::writeFile(media / "film.mkv", "data");
    test::writeScript(resources / "sniffer", printing(R"({"streams": [{"codec_type": "audio"}]})"));
    const ScopedEnvironment environment("VELLINOR_RESOURCE_DIR", resources.path().string());
    const FileProbe probe((media / "film.mkv").string());
    EXPECT_EQ(probe.numberOfAudioTracks, 1);
}

TEST(FileProbeRun, LastPathComponentIsTheFileName)
{
    TempDir folder;
    test::writeFile(folder / "clip.final.MP4", "x");
    ProbeOptions options;
    options.toolPath = "/bin/true";
    EXPECT_EQ(FileProbe((folder / "clip.final.MP4").string(), options).fileName, "clip.final.MP4");
    EXPECT_EQ(FileProbe(folder.path().string() + "/", options).fileName,
              folder.path().filename().string());
    EXPECT_EQ(FileProbe("/", options).fileName, "/");
}

TEST(FileProbeRun, RealFfprobeOnAShortMp4)
{
    TempDir folder;
    const fs::path clip = folder / "clip.mp4";
    ASSERT_TRUE(
        test::runFfmpeg({"-f", "lavfi", "-i", "testsrc=duration=2:size=320x240:rate=25", "-f",
                         "lavfi", "-i", "sine=duration=2", "-c:v", "libx264", "-pix_fmt", "yuv420p",
                         "-c:a", "aac", "-shortest", clip.string()}));
    ProbeOptions options;
    options.toolPath = test::ffprobePath();
    const FileProbe probe(clip.string(), options);

    EXPECT_EQ(probe.fileSize, fs::file_size(clip));
    EXPECT_EQ(probe.fileSizeHuman, Utils::formatByteCount(fs::file_size(clip)));
    EXPECT_EQ(probe.fileName, "clip.mp4");
    EXPECT_EQ(probe.toolProblem, "");
    EXPECT_FALSE(probe.hasErrors);
    EXPECT_TRUE(probe.isValidMediaFile);
    EXPECT_FALSE(probe.isEncrypted);
    EXPECT_EQ(probe.numberOfTracks, 2);
    EXPECT_EQ(probe.numberOfVideoTracks, 1);
    EXPECT_EQ(probe.numberOfAudioTracks, 1);
    EXPECT_EQ(probe.numberOfSubtitleTracks, 0);
    EXPECT_NEAR(probe.duration, 2.0, 0.1);
    EXPECT_EQ(probe.durationHuman, Utils::formatDuration(probe.duration));
    EXPECT_EQ(probe.durationHuman->substr(0, 9), "00:00:02.");
    // The container bit rate is the file's bits over its duration.
    const double expectedBitrate = static_cast<double>(fs::file_size(clip)) * 8.0 / probe.duration;
    EXPECT_NEAR(static_cast<double>(probe.bitrate), expectedBitrate, expectedBitrate * 0.01);
    EXPECT_EQ(probe.bitrateHuman,
              Utils::formatShortestDecimal(static_cast<double>(probe.bitrate) / 1000.0) + "kbps");
    ASSERT_TRUE(probe.json.has_value());
    EXPECT_EQ((*probe.json)["format"]["filename"], JSON(clip.string()));
}

TEST(FileProbeRun, RealFfprobeOnSomethingThatIsNotMedia)
{
    TempDir folder;
    test::writeFile(folder / "notes.mkv", "this is plain text, not a Matroska file\n");
    ProbeOptions options;
    options.toolPath = test::ffprobePath();
    const FileProbe probe((folder / "notes.mkv").string(), options);
    EXPECT_TRUE(probe.hasErrors);
    EXPECT_FALSE(probe.json.has_value());
    EXPECT_FALSE(probe.isValidMediaFile);
}

}  // namespace
}  // namespace vellinor
