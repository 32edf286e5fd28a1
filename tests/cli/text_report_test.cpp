// The text report of the built program, checked against the core's own overview and tracks
// table for the same file.

#include <gtest/gtest.h>

#include <sstream>

#include "cli_media.h"
#include "cli_runner.h"
#include "format/text_table.h"
#include "probe/overview.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

using vellinor::displayWidth;

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

FileProbe probeOf(const std::filesystem::path& path)
{
    ProbeOptions options;
    options.toolPath = ffprobePath();
    return FileProbe(path.string(), options);
}

// The display columns at which `cells` start on `line`, found left to right; empty cells are
// skipped (reported as -1). Fails the test when a cell is not there or something other than
// blanks stands between two cells.
std::vector<long> cellColumns(const std::string& line, const std::vector<std::string>& cells)
{
    std::vector<long> columns;
    std::size_t position = 0;
    for (const std::string& cell : cells) {
        if (cell.empty()) {
            columns.push_back(-1);
            continue;
        }
        const auto found = line.find(cell, position);
        EXPECT_NE(found, std::string::npos) << "no '" << cell << "' in: " << line;
        if (found == std::string::npos)
            return columns;
        EXPECT_EQ(line.find_first_not_of(' ', position), found)
            << "unexpected text before '" << cell << "' in: " << line;
        columns.push_back(static_cast<long>(displayWidth(line.substr(0, found))));
        position = found + cell.size();
    }
    EXPECT_EQ(position, line.size()) << "trailing text in: " << line;
    return columns;
}

struct ReportLayout {
    std::vector<std::string> overview;              // the five overview lines
    std::vector<std::string> table;                 // header and rows of the tracks table
    std::vector<std::vector<std::string>> details;  // detail lines under each table row
};

ReportLayout readReport(const std::string& report, const std::string& fileName)
{
    ReportLayout layout;
    auto lines = splitLines(report);
    EXPECT_GE(lines.size(), 9u);
    if (lines.size() < 9)
        return layout;
    EXPECT_EQ(lines[0], "File Name: " + fileName);
    EXPECT_EQ(lines[1], "");
    layout.overview.assign(lines.begin() + 2, lines.begin() + 7);
    EXPECT_EQ(lines[7], "");
    for (std::size_t i = 8; i < lines.size(); ++i) {
        if (lines[i].starts_with("    ")) {
            EXPECT_FALSE(layout.details.empty());
            if (!layout.details.empty())
                layout.details.back().push_back(lines[i]);
        } else {
            layout.table.push_back(lines[i]);
            layout.details.emplace_back();
        }
    }
    return layout;
}

void expectOverview(const ReportLayout& layout, const FileProbe& probe)
{
    const auto rows = overviewRows(probe);
    ASSERT_EQ(layout.overview.size(), rows.size());
    std::vector<long> firstColumns;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        auto columns =
            cellColumns(layout.overview[r], {rows[r].fieldKey1, rows[r].fieldValue1.text,
                                             rows[r].fieldKey2, rows[r].fieldValue2.text});
        if (r == 0)
            firstColumns = columns;
        EXPECT_EQ(columns, firstColumns) << "overview not aligned: " << layout.overview[r];
    }
}

void expectTracksTable(const ReportLayout& layout, const FileProbe& probe)
{
    const auto rows = tracksTableRows(probe);
    ASSERT_EQ(layout.table.size(), rows.size() + 1);
    const auto header =
        cellColumns(layout.table[0], {"#", "Type", "Codec", "Language", "Duration", "Info"});
    ASSERT_EQ(rows[0].trackType, "Metadata");
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto& row = rows[r];
        auto columns = cellColumns(
            layout.table[r + 1], {row.trackNumber, row.trackType, row.trackCodec, row.trackLanguage,
                                  row.trackDurationHuman, row.trackExtraInfo});
        for (std::size_t c = 0; c < columns.size() && c < header.size(); ++c) {
            if (columns[c] >= 0) {
                EXPECT_EQ(columns[c], header[c]) << "column " << c << " of " << layout.table[r + 1];
            }
        }
    }
}

TEST(CliTextReport, ShowsOverviewAndTracksAsTheCoreBuildsThem)
{
    const auto& media = cliMedia();
    for (const auto& path : {media.demo, media.audio, media.notes, media.empty}) {
        SCOPED_TRACE(path.string());
        const auto run = runCli({path.string()});
        EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << "colour on a pipe";
        const FileProbe probe = probeOf(path);
        const auto layout = readReport(run.out, path.filename().string());
        expectOverview(layout, probe);
        expectTracksTable(layout, probe);
    }
}

TEST(CliTextReport, AlignsColumnsByDisplayedWidth)
{
    // "Norwegian Bokmål" is 17 bytes but 16 columns: the column after it must still line up.
    const auto& media = cliMedia();
    const auto run = runCli({media.demo.string()});
    ASSERT_NE(run.out.find("Norwegian Bokm\xC3\xA5l"), std::string::npos) << run.out;
    const auto layout = readReport(run.out, media.demo.filename().string());
    expectTracksTable(layout, probeOf(media.demo));
}

TEST(CliTextReport, DetailsListEveryRowUnderItsTrack)
{
    const auto& media = cliMedia();
    for (const auto& path : {media.demo, media.sideData}) {
        SCOPED_TRACE(path.string());
        const auto run = runCli({"--details", path.string()});
        const auto layout = readReport(run.out, path.filename().string());
        const auto rows = tracksTableRows(probeOf(path));
        ASSERT_EQ(layout.details.size(), rows.size() + 1);
        EXPECT_TRUE(layout.details[0].empty()) << "details under the header";
        bool sawMultiLine = false;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            // Every key in order, each value's lines after it, continuation lines indented to
            // where the value's first line starts.
            const auto& lines = layout.details[r + 1];
            std::size_t at = 0;
            for (const auto& kv : rows[r].trackKeyValue) {
                ASSERT_LT(at, lines.size()) << "missing " << kv.key;
                if (kv.value.empty()) {
                    EXPECT_EQ(lines[at++], "    " + kv.key);
                    continue;
                }
                const auto valueLines = splitLines(kv.value);
                const auto columns = cellColumns(lines[at], {kv.key, valueLines[0]});
                ASSERT_EQ(columns.size(), 2u);
                ++at;
                for (std::size_t v = 1; v < valueLines.size(); ++v, ++at) {
                    sawMultiLine = true;
                    ASSERT_LT(at, lines.size());
                    auto expected =
                        std::string(static_cast<std::size_t>(columns[1]), ' ') + valueLines[v];
                    expected.erase(expected.find_last_not_of(' ') + 1);
                    EXPECT_EQ(lines[at], expected);
                }
            }
            EXPECT_EQ(at, lines.size()) << "extra detail lines under row " << r;
        }
        if (path == media.sideData) {
            EXPECT_TRUE(sawMultiLine) << "the side data should give a multi-line value";
        }
    }
}

TEST(CliTextReport, ColoursYesAndNoOnlyOnATerminalWithoutNoColor)
{
    const auto& media = cliMedia();
    CliRunOptions terminal;
    terminal.terminal = true;
    terminal.env["NO_COLOR"] = std::nullopt;
    terminal.env["TERM"] = "xterm";
    auto coloured = runCli({media.audio.string()}, terminal);
    EXPECT_EQ(coloured.exitStatus, 0) << coloured.err;
    EXPECT_NE(coloured.out.find("\x1b[32mNo\x1b[0m"), std::string::npos) << coloured.out;
    EXPECT_NE(coloured.out.find("\x1b[31mNo\x1b[0m"), std::string::npos) << coloured.out;
    EXPECT_NE(coloured.out.find("\x1b[32mYes(1)\x1b[0m"), std::string::npos) << coloured.out;

    terminal.env["NO_COLOR"] = "1";
    auto plain = runCli({media.audio.string()}, terminal);
    EXPECT_EQ(plain.out.find('\x1b'), std::string::npos) << plain.out;
    // Apart from the colour codes the text is the same.
    std::string stripped;
    for (std::size_t i = 0; i < coloured.out.size(); ++i) {
        if (coloured.out[i] == '\x1b')
            i = coloured.out.find('m', i);
        else
            stripped.push_back(coloured.out[i]);
    }
    EXPECT_EQ(stripped, plain.out);
}

TEST(CliTextReport, SeparatesFilesWithABlankLine)
{
    const auto& media = cliMedia();
    const auto one = runCli({media.audio.string()});
    const auto two = runCli({media.audio.string(), media.demo.string()});
    const auto demo = runCli({media.demo.string()});
    EXPECT_EQ(two.out, one.out + "\n" + demo.out);
}

TEST(CliTextReport, ControlCharactersInNamesCannotReachTheTerminal)
{
    TempDir dir;
    const auto path = dir / "evil\x1b[2Jname\n.m4a";
    std::filesystem::copy_file(cliMedia().audio, path);
    const auto run = runCli({path.string()});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
    EXPECT_NE(run.out.find("File Name: evil\xEF\xBF\xBD[2Jname\xEF\xBF\xBD.m4a\n"),
              std::string::npos)
        << run.out;
}

}  // namespace
}  // namespace vellinor::test
