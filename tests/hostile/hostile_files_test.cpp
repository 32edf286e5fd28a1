// Paths that are not plain readable media: a folder, a FIFO, a device, a file without read
// permission, links that lead nowhere, a sparse 20 GB file, and media cut short or with bytes
// overwritten. Each has a defined outcome, reached in bounded time, through FileProbe and
// through vellinor-cli.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostile_support.h"
#include "json/json.h"
#include "probe/file_probe.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

using namespace std::chrono_literals;

ProbeOptions realTool()
{
    ProbeOptions options;
    options.toolPath = ffprobePath();
    options.timeout = 60s;
    return options;
}

// The fields of a record whose tool was never run, or whose run gave nothing to read.
void expectNothingProbed(const FileProbe& probe)
{
    EXPECT_FALSE(probe.json.has_value());
    EXPECT_FALSE(probe.durationHuman.has_value());
    EXPECT_FALSE(probe.isValidMediaFile);
    EXPECT_EQ(probe.numberOfTracks, 0);
    EXPECT_TRUE(probe.tracksInfo.empty());
    EXPECT_TRUE(probe.metadata.empty());
}

TEST(HostileFiles, FolderIsReportedAsAnError)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "folder.mp4");
    const FileProbe probe((dir / "folder.mp4").string(), realTool());
    // A folder has a size of its own (its entries' block), so the tool is asked and refuses.
    EXPECT_TRUE(probe.hasErrors);
    expectNothingProbed(probe);
}

TEST(HostileFiles, FifoIsStatedNeverOpened)
{
    TempDir dir;
    const auto fifo = dir / "pipe.mkv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Opening a FIFO without a writer blocks forever; the guard turns that into a failure.
    HangGuard guard(30s);
    const FileProbe probe(fifo.string(), realTool());
    EXPECT_EQ(probe.fileSize, 0u);
    EXPECT_EQ(probe.fileSizeHuman, "0 bytes");
    EXPECT_TRUE(probe.hasErrors);
    expectNothingProbed(probe);
}

TEST(HostileFiles, DevicesAreStatedNeverRead)
{
    HangGuard guard(30s);
    for (const char* device : {"/dev/zero", "/dev/urandom", "/dev/null"}) {
        SCOPED_TRACE(device);
        const FileProbe probe(device, realTool());
        EXPECT_EQ(probe.fileSize, 0u);
        EXPECT_TRUE(probe.hasErrors);
        expectNothingProbed(probe);
    }
}

TEST(HostileFiles, PathsThatLeadNowhere)
{
    TempDir dir;
    makeTone(dir / "tone.wav");
    std::filesystem::create_symlink(dir / "missing.wav", dir / "dangling.wav");
    std::filesystem::create_symlink(dir / "loop-b.wav", dir / "loop-a.wav");
    std::filesystem::create_symlink(dir / "loop-a.wav", dir / "loop-b.wav");
    // These fail for every user, root included.
    for (const std::string& path :
         {(dir / "dangling.wav").string(), (dir / "loop-a.wav").string(),
          (dir / "tone.wav/inside.wav").string(), (dir / std::string(300, 'x')).string(),
          (dir / "missing.wav").string()}) {
        SCOPED_TRACE(path);
        const FileProbe probe(path, realTool());
        EXPECT_EQ(probe.fileSize, 0u);
        EXPECT_EQ(probe.fileSizeHuman, "Unknown File Size");
        EXPECT_TRUE(probe.hasErrors);
        expectNothingProbed(probe);
    }
}

// Lets the user nobody into a test folder, whatever the umask made of it.
void openToEveryone(const std::filesystem::path& folder)
{
    std::filesystem::permissions(
        folder, std::filesystem::perms::group_exec | std::filesystem::perms::others_exec,
        std::filesystem::perm_options::add);
}

// Whether the unprivileged user can run `program` (a build folder under a private home cannot
// be reached by nobody).
bool unprivilegedUserCanRun(const std::string& program)
{
    return runUnprivileged([&] {
               return std::string(::access(program.c_str(), X_OK) == 0 ? "yes" : "no");
           }) == "yes";
}

// Root reads a file without read permission anyway, so the probe runs as the user nobody when
// the tests run as root (as CI does): the case is then the same as for any user.
TEST(HostileFiles, FileWithoutReadPermission)
{
    TempDir dir;
    openToEveryone(dir.path());
    const auto file = dir / "secret.wav";
    makeTone(file);
    std::filesystem::permissions(file, std::filesystem::perms::none);

    const std::string outcome = runUnprivileged([&] {
        const FileProbe probe(file.string(), realTool());
        return std::string(probe.hasErrors ? "hasErrors" : "no error") + " size " +
               std::to_string(probe.fileSize.value_or(0)) + (probe.json ? " json" : " no json");
    });
    // The size is read from the folder entry, so the tool is run, and it cannot open the file.
    EXPECT_EQ(outcome,
              "hasErrors size " + std::to_string(std::filesystem::file_size(file)) + " no json");
}

// A 20 GB file of which only the first kilobytes hold data. Matroska is read by its header; a
// WAV file makes ffprobe walk the zeros after its data chunk 8 bytes at a time, which would take
// hours, and the probe's time limit is what ends that.
TEST(HostileFiles, SparseTwentyGigabyteFiles)
{
    struct Case {
        const char* name;
        const char* codec;
        bool readByItsHeader;
    };
    constexpr std::uintmax_t kTwentyGigabytes = std::uintmax_t{20} << 30;
    for (const Case& c :
         {Case{"huge.mka", "libopus", true}, Case{"huge.wav", "pcm_s16le", false}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto file = dir / c.name;
        runFfmpeg({"-f", "lavfi", "-i", "sine=duration=1:sample_rate=8000", "-c:a", c.codec,
                   file.string()});
        std::filesystem::resize_file(file, kTwentyGigabytes);
        struct stat info {};
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        ASSERT_LT(info.st_blocks * 512, 1 << 20) << "the file system does not keep holes";

        ProbeOptions options = realTool();
        options.timeout = 3s;
        const auto start = std::chrono::steady_clock::now();
        const FileProbe probe(file.string(), options);
        const double seconds = secondsSince(start);

        EXPECT_LT(seconds, 20.0);
        EXPECT_EQ(probe.fileSize, kTwentyGigabytes);
        EXPECT_EQ(probe.fileSizeHuman, "21.47 GB");
        EXPECT_FALSE(probe.hasErrors);
        if (c.readByItsHeader) {
            EXPECT_EQ(probe.toolProblem, "");
            EXPECT_TRUE(probe.isValidMediaFile);
            EXPECT_EQ(probe.numberOfAudioTracks, 1);
        } else {
            EXPECT_EQ(probe.toolProblem, "the probe tool timed out after 3 s");
            expectNothingProbed(probe);
        }
    }
}

// The probe record must be whole whatever the tool made of the file: either the tool's error
// (hasErrors, nothing else), or a document with every derived field set.
void expectConsistent(const FileProbe& probe)
{
    if (probe.hasErrors) {
        expectNothingProbed(probe);
        return;
    }
    ASSERT_TRUE(probe.json.has_value());
    EXPECT_TRUE(probe.durationHuman.has_value());
    EXPECT_TRUE(probe.bitrateHuman.has_value());
    EXPECT_EQ(static_cast<std::size_t>(probe.numberOfTracks), probe.tracksInfo.size());
    EXPECT_TRUE(probe.json->rawString().has_value());
}

class DamagedMedia : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_media = new TempDir;
        // Matroska with video, audio and a subtitle, so there is structure to break.
        writeFile(*s_media / "subs.srt", "1\n00:00:00,000 --> 00:00:00,500\nHello\n");
        runFfmpeg({"-f",
                   "lavfi",
                   "-i",
                   "testsrc=size=64x48:rate=10:duration=1",
                   "-f",
                   "lavfi",
                   "-i",
                   "sine=duration=1:sample_rate=8000",
                   "-i",
                   (*s_media / "subs.srt").string(),
                   "-map",
                   "0",
                   "-map",
                   "1",
                   "-map",
                   "2",
                   "-c:v",
                   "mpeg4",
                   "-c:a",
                   "pcm_s16le",
                   "-c:s",
                   "srt",
                   (*s_media / "whole.mkv").string()});
        s_whole = new std::string(readFile(*s_media / "whole.mkv"));
    }
    static void TearDownTestSuite()
    {
        delete s_whole;
        delete s_media;
    }

    static TempDir* s_media;
    static std::string* s_whole;
};

TempDir* DamagedMedia::s_media = nullptr;
std::string* DamagedMedia::s_whole = nullptr;

TEST_F(DamagedMedia, CutShortAtEveryFewPercent)
{
    ASSERT_GT(s_whole->size(), 1000u);
    TempDir dir;
    const std::size_t size = s_whole->size();
    for (std::size_t length : {std::size_t{1}, std::size_t{4}, std::size_t{64}, size / 20, size / 4,
                               size / 2, size * 3 / 4, size - 1}) {
        SCOPED_TRACE("first " + std::to_string(length) + " of " + std::to_string(size) + " bytes");
        const auto file = dir / ("cut-" + std::to_string(length) + ".mkv");
        writeFile(file, s_whole->substr(0, length));
        const FileProbe probe(file.string(), realTool());
        EXPECT_EQ(probe.fileSize, length);
        expectConsistent(probe);
        if (length < 64) {
            // Too short to be recognised at all: the tool's own error.
            EXPECT_TRUE(probe.hasErrors);
        }
        if (length >= size / 2) {
            // The header and the track list are at the front: the tracks are still all there.
            EXPECT_FALSE(probe.hasErrors);
            EXPECT_EQ(probe.numberOfTracks, 3);
        }
    }
}

TEST_F(DamagedMedia, RandomBytesOverwritten)
{
    TempDir dir;
    std::mt19937 random(20240601);  // fixed seed: every run damages the same bytes
    std::vector<std::string> paths;
    for (int variant = 0; variant < 12; ++variant) {
        std::string damaged = *s_whole;
        const int changes = 1 << (variant % 6);  // 1 to 32 bytes
        std::uniform_int_distribution<std::size_t> position(0, damaged.size() - 1);
        std::uniform_int_distribution<int> byte(0, 255);
        for (int i = 0; i < changes; ++i)
            damaged[position(random)] = static_cast<char>(byte(random));
        const auto file = dir / ("damaged-" + std::to_string(variant) + ".mkv");
        writeFile(file, damaged);
        paths.push_back(file.string());
    }
    for (const auto& path : paths) {
        SCOPED_TRACE(path);
        const auto start = std::chrono::steady_clock::now();
        const FileProbe probe(path, realTool());
        EXPECT_LT(secondsSince(start), 30.0);
        expectConsistent(probe);
    }

    if (!haveCli())
        return;
    // The same files as one batch: a record for each, in order, whatever the tool made of it.
    std::vector<std::string> arguments{"--record", "-j", "3", "--"};
    arguments.insert(arguments.end(), paths.begin(), paths.end());
    const CliResult run = runCli(arguments, CliInvocation(dir.path()));
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(run.exitStatus == 0 || run.exitStatus == 1) << run.exitStatus;
    const auto records = JSON::parse(run.out);
    ASSERT_TRUE(records.hasValue()) << run.out;
    ASSERT_EQ(records->count(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ((*records)[i]["path"].stringValue(), paths[i]);
}

// What vellinor-cli says about each kind of path it cannot probe: one line on standard error,
// a record saying why, exit status 1, and nothing else.
TEST(HostileFiles, CommandLineNamesWhyEachPathCannotBeProbed)
{
    if (!haveCli())
        GTEST_SKIP() << "built without vellinor-cli";
    TempDir dir;
    makeTone(dir / "tone.wav");
    std::filesystem::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    writeFile(dir / "empty.wav", "");
    std::filesystem::create_symlink(dir / "missing.wav", dir / "dangling.wav");
    const auto before = folderEntries(dir.path());

    struct Case {
        std::string path;
        std::string why;
    };
    const std::vector<Case> cases = {
        {"folder", "is a directory"},
        {"pipe", "not a regular file"},
        {"/dev/zero", "not a regular file"},
        {"empty.wav", "empty file"},
        {"dangling.wav", "no such file"},
        {"tone.wav/inside", "not a directory on the way to it"},
        {"tone.wav", ""},
    };
    std::vector<std::string> arguments{"--record", "--"};
    for (const auto& c : cases)
        arguments.push_back(c.path);

    const CliResult run = runCli(arguments, CliInvocation(dir.path()).limit(60s));

    ASSERT_TRUE(run.finished) << "vellinor-cli hung";
    EXPECT_EQ(run.exitStatus, 1);
    std::vector<std::string> expectedErrors;
    for (const auto& c : cases) {
        if (!c.why.empty())
            expectedErrors.push_back("vellinor-cli: " + c.path + ": " + c.why);
    }
    EXPECT_EQ(linesOf(run.err), expectedErrors);
    const auto records = JSON::parse(run.out);
    ASSERT_TRUE(records.hasValue()) << run.out;
    ASSERT_EQ(records->count(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].path);
        const JSON record = (*records)[i];
        EXPECT_EQ(record["path"].stringValue(), cases[i].path);
        if (cases[i].why.empty()) {
            EXPECT_EQ(record["problem"].type(), JSONType::null);
            EXPECT_EQ(record["isValidMediaFile"], JSON(true));
        } else {
            EXPECT_EQ(record["problem"].stringValue(), cases[i].why);
            EXPECT_EQ(record["hasErrors"], JSON(true));
        }
    }
    EXPECT_EQ(folderEntries(dir.path()), before);
}

TEST(HostileFiles, CommandLineWithoutReadPermission)
{
    if (!haveCli())
        GTEST_SKIP() << "built without vellinor-cli";
    if (!unprivilegedUserCanRun(cliPath()))
        GTEST_SKIP() << "the user nobody cannot reach " << cliPath();
    TempDir dir;
    openToEveryone(dir.path());
    makeTone(dir / "secret.wav");
    std::filesystem::permissions(dir / "secret.wav", std::filesystem::perms::none);
    // As root the program runs as nobody (see FileWithoutReadPermission).
    const CliResult run =
        runCli({"--record", "secret.wav"}, CliInvocation(dir.path()).unprivileged());
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "vellinor-cli: secret.wav: permission denied\n");
    const auto records = JSON::parse(run.out);
    ASSERT_TRUE(records.hasValue()) << run.out;
    EXPECT_EQ((*records)[0]["problem"].stringValue(), "permission denied");
}

}  // namespace
}  // namespace vellinor::test
