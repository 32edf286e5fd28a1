// The installed tree: what `cmake --install` put under the prefix (the install_into_prefix
// fixture), and whether the installed programs find their resources on their own, as they must
// once copied to /usr/local or /opt, with no VELLINOR_RESOURCE_DIR to help them.

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "json/json.h"
#include "platform/process.h"
#include "support/test_support.h"

namespace vellinor {
namespace {

namespace fs = std::filesystem;
using platform::ProcessResult;

const fs::path kPrefix = VELLINOR_INSTALL_PREFIX;
const fs::path kSourceDir = VELLINOR_SOURCE_DIR;
constexpr bool kInstallsCli = VELLINOR_INSTALLS_CLI != 0;
constexpr bool kInstallsApp = VELLINOR_INSTALLS_APP != 0;
constexpr bool kInstallsStockFfprobe = VELLINOR_INSTALLS_STOCK_FFPROBE != 0;
const std::vector<int> kIconPngSizes = VELLINOR_ICON_PNG_SIZES;

const fs::path kDesktopEntry = kPrefix / "share/applications/vellinor.desktop";
const fs::path kMetainfo = kPrefix / "share/metainfo/vellinor.metainfo.xml";

bool isExecutableFile(const fs::path& path)
{
    std::error_code error;
    const auto status = fs::status(path, error);
    constexpr auto anyExec = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    return !error && fs::is_regular_file(status) &&
           (status.permissions() & anyExec) != fs::perms::none;
}

// Runs a program as a user would start the installed one: without VELLINOR_RESOURCE_DIR, so
// resources can only come from beside the program.
ProcessResult runWithoutResourceVariable(const fs::path& program,
                                         const std::vector<std::string>& arguments)
{
    ::unsetenv("VELLINOR_RESOURCE_DIR");
    platform::ProcessOptions options;
    options.timeout = std::chrono::seconds(60);
    return platform::runProcess(program.string(), arguments, options);
}

bool exitedWith(const ProcessResult& result, int code)
{
    return result.outcome == ProcessResult::Outcome::exited && result.exitCode == code;
}

// The "key=value" lines of a desktop entry's [Desktop Entry] group.
std::map<std::string, std::string> desktopEntryKeys(const fs::path& path)
{
    std::map<std::string, std::string> keys;
    const std::string text = test::readFile(path);
    bool inMainGroup = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.front() == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (inMainGroup && equals != std::string::npos && line.front() != '#')
            keys.emplace(line.substr(0, equals), line.substr(equals + 1));
    }
    return keys;
}

// Every text of `element` in a flat XML file, e.g. all <binary>...</binary> in the metainfo.
std::vector<std::string> elementTexts(const std::string& xml, const std::string& element)
{
    std::vector<std::string> texts;
    const std::regex pattern("<" + element + "(\\s[^>]*)?>([^<]*)</" + element + ">");
    for (auto match = std::sregex_iterator(xml.begin(), xml.end(), pattern);
         match != std::sregex_iterator(); ++match)
        texts.push_back((*match)[2].str());
    return texts;
}

struct PngSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// The size in a PNG's header, or nothing when `path` is not a PNG.
std::optional<PngSize> pngSize(const fs::path& path)
{
    const std::string bytes = test::readFile(path);
    static constexpr std::array<unsigned char, 8> kSignature{0x89, 'P',  'N',  'G',
                                                             '\r', '\n', 0x1a, '\n'};
    if (bytes.size() < 24 || bytes.compare(12, 4, "IHDR") != 0)
        return std::nullopt;
    for (std::size_t i = 0; i < kSignature.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) != kSignature[i])
            return std::nullopt;
    }
    auto bigEndian = [&bytes](std::size_t at) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i)
            value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    return PngSize{bigEndian(16), bigEndian(20)};
}

TEST(InstalledTree, HoldsTheProgramsAndTheResourcesBesideThem)
{
    struct Program {
        const char* name;
        bool built;
    };
    for (const Program& program :
         {Program{"vellinor", kInstallsApp}, Program{"vellinor-cli", kInstallsCli}}) {
        SCOPED_TRACE(program.name);
        EXPECT_EQ(isExecutableFile(kPrefix / "bin" / program.name), program.built);
    }

    // The placeholder poster is the source file, byte for byte.
    const fs::path poster = kPrefix / "share/vellinor/pnf.jpg";
    ASSERT_TRUE(fs::is_regular_file(poster));
    EXPECT_EQ(test::readFile(poster), test::readFile(kSourceDir / "resources/pnf.jpg"));

    // The probe tool is our sniffer, installed among the programs with a link among the
    // resources (or, built for the stock tool, a link to the system's ffprobe), and it runs.
    const fs::path sniffer = kPrefix / "share/vellinor/sniffer";
    ASSERT_TRUE(fs::is_symlink(sniffer));
    if (kInstallsStockFfprobe) {
        EXPECT_TRUE(fs::equivalent(sniffer, test::ffprobePath()));
    } else {
        // Relative, so the tree can be staged or moved (as the package is).
        EXPECT_TRUE(fs::read_symlink(sniffer).is_relative()) << fs::read_symlink(sniffer);
        EXPECT_TRUE(fs::equivalent(sniffer, kPrefix / "libexec/vellinor/sniffer"));
        EXPECT_TRUE(isExecutableFile(kPrefix / "libexec/vellinor/sniffer"));
    }
    EXPECT_TRUE(exitedWith(runWithoutResourceVariable(sniffer, {"-version"}), 0));
}

TEST(InstalledTree, HoldsTheManualsAndShellCompletionsAsBuilt)
{
    struct Installed {
        const char* path;  // the same below the prefix and in the build tree
        bool built;
    };
    for (const Installed& file : {
             Installed{"share/man/man1/vellinor.1.gz", kInstallsApp},
             Installed{"share/man/man1/vellinor-cli.1.gz", kInstallsCli},
             Installed{"share/bash-completion/completions/vellinor-cli", kInstallsCli},
             // Outside /usr, zsh reads the local administrator's completions.
             Installed{"share/zsh/site-functions/_vellinor-cli", kInstallsCli},
             Installed{"share/fish/vendor_completions.d/vellinor-cli.fish", kInstallsCli},
         }) {
        SCOPED_TRACE(file.path);
        ASSERT_EQ(fs::is_regular_file(kPrefix / file.path), file.built);
        if (file.built) {
            EXPECT_EQ(test::readFile(kPrefix / file.path),
                      test::readFile(fs::path(VELLINOR_BINARY_DIR) / file.path));
        }
    }
}

// Debian forbids programs under share/ (it is shared between architectures): helper programs
// are installed to libexec/vellinor, with links to them among the resources.
TEST(InstalledTree, KeepsProgramsOutOfShare)
{
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kPrefix / "share")) {
        if (!entry.is_regular_file() || entry.is_symlink())
            continue;
        ++files;
        EXPECT_FALSE(test::readFile(entry.path())
                         .starts_with("\x7f"
                                      "ELF"))
            << entry.path();
    }
    EXPECT_GT(files, 0U);
}

TEST(InstalledTree, DesktopEntryMetainfoAndIconNameEachOther)
{
    if (!kInstallsApp)
        GTEST_SKIP() << "built without the desktop application";
    ASSERT_TRUE(fs::is_regular_file(kDesktopEntry));
    ASSERT_TRUE(fs::is_regular_file(kMetainfo));

    const auto keys = desktopEntryKeys(kDesktopEntry);
    ASSERT_TRUE(keys.contains("Exec") && keys.contains("Icon"));
    // The program the menu starts is the installed one, and it is given the opened files.
    EXPECT_EQ(keys.at("Exec"), "vellinor %F");
    EXPECT_TRUE(isExecutableFile(kPrefix / "bin/vellinor"));
    const std::string icon = keys.at("Icon");
    EXPECT_TRUE(
        fs::is_regular_file(kPrefix / "share/icons/hicolor/scalable/apps" / (icon + ".svg")))
        << "no scalable icon named " << icon;
    for (int size : kIconPngSizes) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        SCOPED_TRACE(folder);
        const auto png =
            pngSize(kPrefix / "share/icons/hicolor" / folder / "apps" / (icon + ".png"));
        ASSERT_TRUE(png.has_value());
        EXPECT_EQ(png->width, static_cast<std::uint32_t>(size));
        EXPECT_EQ(png->height, static_cast<std::uint32_t>(size));
    }

    // Software centres find the menu entry, the icon and the programs through these names.
    const std::string metainfo = test::readFile(kMetainfo);
    EXPECT_EQ(elementTexts(metainfo, "id"), std::vector<std::string>{"vellinor"});
    EXPECT_EQ(elementTexts(metainfo, "launchable"),
              std::vector<std::string>{kDesktopEntry.filename().string()});
    EXPECT_EQ(elementTexts(metainfo, "icon"), std::vector<std::string>{icon});
    const auto binaries = elementTexts(metainfo, "binary");
    EXPECT_FALSE(binaries.empty());
    for (const std::string& binary : binaries) {
        if (binary == "vellinor-cli" && !kInstallsCli)
            continue;
        EXPECT_TRUE(isExecutableFile(kPrefix / "bin" / binary)) << binary;
    }
}

TEST(InstalledTree, DesktopFilesPassTheirValidators)
{
    if (!kInstallsApp)
        GTEST_SKIP() << "built without the desktop application";
    struct Validator {
        const char* program;
        std::vector<std::string> arguments;
    };
    const std::vector<Validator> validators{
        {VELLINOR_DESKTOP_FILE_VALIDATE, {kDesktopEntry.string()}},
        // The id is the desktop entry's own name, which the window announces to the desktop;
        // a reverse-DNS name is only recommended.
        {VELLINOR_APPSTREAMCLI,
         {"validate", "--no-net", "--override=cid-desktopapp-is-not-rdns=info",
          kMetainfo.string()}},
    };
    int ran = 0;
    for (const Validator& validator : validators) {
        if (std::string(validator.program).empty())
            continue;
        SCOPED_TRACE(validator.program);
        ++ran;
        const ProcessResult result = platform::runProcess(validator.program, validator.arguments);
        EXPECT_TRUE(exitedWith(result, 0)) << result.standardOutput << result.startError;
    }
    if (ran == 0)
        GTEST_SKIP() << "neither desktop-file-validate nor appstreamcli was found";
}

TEST(InstalledCli, RecordsAMediaFileWithTheResourcesBesideIt)
{
    if (!kInstallsCli)
        GTEST_SKIP() << "built without vellinor-cli";
    test::TempDir folder;
    const fs::path clip = folder / "clip.mkv";
    ASSERT_TRUE(test::runFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=10:duration=1", "-f",
                                 "lavfi", "-i", "sine=frequency=440:duration=1", "-c:v", "mpeg4",
                                 "-c:a", "flac", clip.string()}));

    // Started directly, and through a link elsewhere (as a package's /usr/bin link would).
    const fs::path link = folder / "vellinor-cli";
    fs::create_symlink(kPrefix / "bin/vellinor-cli", link);
    for (const fs::path& program : {kPrefix / "bin/vellinor-cli", link}) {
        SCOPED_TRACE(program.string());
        const ProcessResult result =
            runWithoutResourceVariable(program, {"--record", clip.string()});
        ASSERT_TRUE(exitedWith(result, 0)) << result.standardOutput << result.startError;
        const auto records = JSON::parse(result.standardOutput);
        ASSERT_TRUE(records.hasValue()) << result.standardOutput;
        ASSERT_EQ(records->count(), 1U);
        const JSON record = (*records)[0];
        EXPECT_EQ(record["toolProblem"].type(), JSONType::null)
            << record["toolProblem"].stringValue();
        EXPECT_TRUE(record["isValidMediaFile"].boolValue());
        EXPECT_EQ(record["numberOfTracks"].intValue(), 2);
        EXPECT_EQ(record["numberOfVideoTracks"].intValue(), 1);
        EXPECT_EQ(record["numberOfAudioTracks"].intValue(), 1);

        // The packet reader, a helper program in libexec/vellinor.
        const ProcessResult rates =
            runWithoutResourceVariable(program, {"--bitrate", clip.string()});
        ASSERT_TRUE(exitedWith(rates, 0)) << rates.standardOutput << rates.startError;
        EXPECT_TRUE(rates.standardOutput.starts_with("stream,kind,second,"))
            << rates.standardOutput;
        EXPECT_NE(rates.standardOutput.find("\n0,video,0,"), std::string::npos)
            << rates.standardOutput;
    }
}

TEST(InstalledApp, FindsItsResourcesBesideIt)
{
    if (!kInstallsApp)
        GTEST_SKIP() << "built without the desktop application";
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const ProcessResult result =
        runWithoutResourceVariable(kPrefix / "bin/vellinor", {"--check-resources"});
    EXPECT_TRUE(exitedWith(result, 0)) << result.standardOutput << result.startError;
    const fs::path resources = kPrefix / "share/vellinor";
    EXPECT_EQ(result.standardOutput, "sniffer: " + (resources / "sniffer").string() + "\n" +
                                         "pnf.jpg: " + (resources / "pnf.jpg").string() + "\n");
}

}  // namespace
}  // namespace vellinor
