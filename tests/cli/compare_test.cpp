// vellinor-cli --compare and --explain through the built program: exit statuses, the marked
// rows of four files that differ in frame rate and audio language, and the CSV read back by
// Python's csv module.

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <vector>

#include "cli_media.h"
#include "cli_runner.h"
#include "json/json.h"
#include "platform/process.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

namespace fs = std::filesystem;

struct CompareSet {
    TempDir dir;
    std::vector<fs::path> files;
};

const CompareSet& compareSet()
{
    static const auto* set = [] {
        auto* made = new CompareSet;
        made->files = makeComparisonSet(made->dir.path());
        return made;
    }();
    return *set;
}

std::vector<std::string> arguments(std::initializer_list<std::string> options,
                                   const std::vector<fs::path>& files)
{
    std::vector<std::string> all(options);
    for (const fs::path& file : files)
        all.push_back(file.string());
    return all;
}

// The cells of a line of the text table, set apart by two blanks or more; the marker "*" is
// a cell of its own.
std::vector<std::string> cellsOf(const std::string& line)
{
    static const std::regex gap(" {2,}|^\\* ");
    std::vector<std::string> cells;
    std::copy_if(std::sregex_token_iterator(line.begin(), line.end(), gap, -1),
                 std::sregex_token_iterator(), std::back_inserter(cells),
                 [](const std::string& cell) { return !cell.empty(); });
    return cells;
}

// "Track Fact" of every line of the text table marked as differing.
std::vector<std::string> markedRows(const std::string& table)
{
    std::vector<std::string> marked;
    std::istringstream lines(table);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.starts_with("* ")) {
            const auto cells = cellsOf(line);
            marked.push_back(cells.at(0) + " " + cells.at(1));
        }
    }
    return marked;
}

TEST(CliCompare, FourFilesMarkExactlyFrameRateAndAudioLanguage)
{
    const auto& set = compareSet();
    const auto run = runCli(arguments({"--compare"}, set.files));
    EXPECT_EQ(run.exitStatus, 3) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(markedRows(run.out),
              (std::vector<std::string>{"Video 1 Frame rate", "Audio 1 Language"}))
        << run.out;
    EXPECT_NE(run.out.find("2 of "), std::string::npos) << run.out;

    const auto only = runCli(arguments({"--compare", "--only-differences"}, set.files));
    EXPECT_EQ(only.exitStatus, 3);
    std::istringstream lines(only.out);
    std::string header, frameRate, language, closing, extra;
    std::getline(lines, header);
    std::getline(lines, frameRate);
    std::getline(lines, language);
    std::getline(lines, closing);
    EXPECT_FALSE(std::getline(lines, extra)) << only.out;
    using Cells = std::vector<std::string>;
    EXPECT_EQ(cellsOf(header),
              (Cells{"Track", "Fact", "episode-25fps-eng.mkv", "episode-25fps-fre.mkv",
                     "episode-30fps-eng.mkv", "episode-30fps-fre.mkv"}));
    EXPECT_EQ(cellsOf(frameRate), (Cells{"Video 1", "Frame rate", "25", "25", "30", "30"}));
    EXPECT_EQ(cellsOf(language),
              (Cells{"Audio 1", "Language", "English", "French", "English", "French"}));
    EXPECT_EQ(closing.substr(0, 5), "2 of ");
}

TEST(CliCompare, ExitStatuses)
{
    const auto& set = compareSet();
    const auto& media = cliMedia();
    const std::string a = set.files[0].string();
    const std::string b = set.files[1].string();
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string inOut;  // a part of standard output
        std::string inErr;  // a part of standard error
    } cases[] = {
        {{"--compare", a, a}, 0, "compared facts agree.", ""},
        {{"--compare", "--only-differences", a, a}, 0, "compared facts agree.", ""},
        {{"--compare", a, b}, 3, "* Audio 1  Language", ""},
        {{"--compare", "--json", a, b}, 3, "\"differs\": true", ""},
        {{"--compare", "--csv", a, a}, 0, "Track,Fact,Differs,", ""},
        {{"--compare", a, media.empty.string()}, 1, "Problem", "empty.mkv: empty file"},
        {{"--compare", a, "/no/such/file.mkv"}, 1, "no such file", "file.mkv: no such file"},
        {{"--compare", a}, 2, "", "--compare needs at least two files"},
        {{"--compare", "--record", a, b}, 2, "", "excludes"},
        {{"--compare", "--details", a, b}, 2, "", "excludes"},
        {{"--compare", "--csv", "--json", a, b}, 2, "", "excludes"},
        {{"--compare", "--export", "out", a, b}, 2, "", "--compare excludes --export"},
        {{"--only-differences", a, b}, 2, "", "requires --compare"},
        {{"--explain", "has_b_frames"}, 0, "has_b_frames: ", ""},
        {{"--explain", "default.disposition"}, 0, "default.disposition: 1 when players", ""},
        {{"--explain", "no_such_key"}, 1, "", "no_such_key: no explanation"},
        {{"--explain", "refs", a}, 2, "", "--explain takes no PATH"},
        {{}, 2, "", "PATH is required"},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const auto& argument : c.arguments)
            line += argument + " ";
        SCOPED_TRACE(line);
        const auto run = runCli(c.arguments);
        EXPECT_EQ(run.exitStatus, c.status) << run.err;
        EXPECT_NE(run.out.find(c.inOut), std::string::npos) << run.out;
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << run.err;
        if (c.status == 2) {
            EXPECT_EQ(run.out, "");
        }
    }
}

TEST(CliCompare, CsvOpensCleanlyWithPythonsCsvModule)
{
    const auto& set = compareSet();
    TempDir dir;
    // A name a spreadsheet must keep whole: a comma, quotes, non-ASCII letters.
    const fs::path awkward = dir / "clip, \"take 2\" ünïcødé.mkv";
    fs::copy_file(set.files[3], awkward);
    std::vector<fs::path> files = set.files;
    files.push_back(awkward);

    const auto run = runCli(arguments({"--compare", "--csv"}, files));
    EXPECT_EQ(run.exitStatus, 3) << run.err;
    writeFile(dir / "comparison.csv", run.out);
    const auto json = runCli(arguments({"--compare", "--json"}, files));
    const auto document = JSON::parse(json.out);
    ASSERT_TRUE(document.hasValue()) << json.out;

    const std::string script =
        "import csv, json, sys\n"
        "with open(sys.argv[1], newline='', encoding='utf-8', errors='strict') as f:\n"
        "    print(json.dumps(list(csv.reader(f, strict=True))))\n";
    const auto read =
        platform::runProcess("/usr/bin/python3", {"-c", script, (dir / "comparison.csv").string()});
    ASSERT_EQ(read.exitCode, 0);
    const auto table = JSON::parse(read.standardOutput);
    ASSERT_TRUE(table.hasValue()) << read.standardOutput;

    const JSON header = (*table)[0];
    EXPECT_EQ(header, JSON::array({"Track", "Fact", "Differs", "episode-25fps-eng.mkv",
                                   "episode-25fps-fre.mkv", "episode-30fps-eng.mkv",
                                   "episode-30fps-fre.mkv", "clip, \"take 2\" ünïcødé.mkv"}));
    const JSON rows = (*document)["rows"];
    ASSERT_EQ(table->count(), rows.count() + 1);
    std::vector<std::string> differing;
    for (std::size_t r = 0; r < rows.count(); ++r) {
        const JSON record = (*table)[r + 1];
        ASSERT_EQ(record.count(), 8u) << r;
        EXPECT_EQ(record[0], rows[r]["track"]);
        EXPECT_EQ(record[1], rows[r]["fact"]);
        EXPECT_EQ(record[2].stringValue(), rows[r]["differs"].boolValue() ? "yes" : "");
        for (std::size_t f = 0; f < 5; ++f)
            EXPECT_EQ(record[3 + f], rows[r]["values"][f]) << r << " " << f;
        if (record[2].stringValue() == "yes")
            differing.push_back(record[0].stringValue() + " " + record[1].stringValue());
    }
    EXPECT_EQ(differing, (std::vector<std::string>{"Video 1 Frame rate", "Audio 1 Language"}));
}

}  // namespace
}  // namespace vellinor::test
