// The CSV writer: quoting by RFC 4180, and a real CSV reader (Python's csv module) reading back
// exactly the fields written.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/csv_text.h"
#include "json/json.h"
#include "platform/process.h"
#include "support/test_support.h"

namespace vellinor {
namespace {

TEST(CsvText, QuotesOnlyWhatNeedsIt)
{
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"\"", "\"\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\r\nlf", "\"cr\r\nlf\""},
        {" padded ", "\" padded \""},
        {"Norsk bokmål 日本語", "Norsk bokmål 日本語"},
        {"bad \xff byte", "bad \xef\xbf\xbd byte"},
        {"=1+1", "=1+1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(csv::field(c.in), c.out) << c.in;

    const std::vector<std::string> fields = {"Track", "a,b", "", "x"};
    EXPECT_EQ(csv::record(fields), "Track,\"a,b\",,x\r\n");
    EXPECT_EQ(csv::record(std::vector<std::string>{}), "\r\n");
}

TEST(CsvText, ReadsBackWithPythonsCsvModule)
{
    const std::vector<std::vector<std::string>> rows = {
        {"Track", "Fact", "clip, \"final\".mkv", "ünïcødé ファイル.mp4"},
        {"Audio 1", "Title", "line one\nline two", "tab\there"},
        {"", " lead and trail ", "\"", "cr\r\nlf"},
    };
    std::string text;
    for (const auto& row : rows)
        text += csv::record(row);
    test::TempDir dir;
    test::writeFile(dir / "table.csv", text);

    const std::string script =
        "import csv, json, sys\n"
        "with open(sys.argv[1], newline='', encoding='utf-8', errors='strict') as f:\n"
        "    print(json.dumps(list(csv.reader(f, strict=True))))\n";
    const auto run =
        platform::runProcess("/usr/bin/python3", {"-c", script, (dir / "table.csv").string()});
    ASSERT_EQ(run.outcome, platform::ProcessResult::Outcome::exited) << run.startError;
    ASSERT_EQ(run.exitCode, 0);
    const auto read = JSON::parse(run.standardOutput);
    ASSERT_TRUE(read.hasValue()) << run.standardOutput;
    ASSERT_EQ(read->count(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        ASSERT_EQ((*read)[r].count(), rows[r].size()) << "row " << r;
        for (std::size_t f = 0; f < rows[r].size(); ++f)
            EXPECT_EQ((*read)[r][f].stringValue(), rows[r][f]) << "row " << r << " field " << f;
    }
}

}  // namespace
}  // namespace vellinor
