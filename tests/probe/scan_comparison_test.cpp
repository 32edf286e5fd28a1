// The deep scan's rows in a comparison: present only when every probed file was scanned, the
// stream hashes as rows, and "same content" exactly when all stream hashes agree.

#include "probe/scan_comparison.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vellinor {
namespace {

std::shared_ptr<const ScanResult> scanWith(std::vector<std::optional<std::string>> hashes)
{
    auto scan = std::make_shared<ScanResult>();
    std::int64_t index = 0;
    for (auto& hash : hashes) {
        StreamScanFacts stream;
        stream.index = index++;
        stream.kind = index == 1 ? "video" : "audio";
        stream.codec = "h264";
        stream.frames = 25;
        stream.md5 = std::move(hash);
        scan->streams.push_back(std::move(stream));
    }
    return scan;
}

ComparedFile probedFile(const char* name)
{
    return {name, name, std::make_shared<const FileProbe>(), {}};
}

const ComparisonRow* rowOf(const Comparison& comparison, std::string_view track,
                           std::string_view fact)
{
    for (const ComparisonRow& row : comparison.rows)
        if (row.track == track && row.fact == fact)
            return &row;
    return nullptr;
}

TEST(ScanComparison, MarksSameContentOnlyWhenEveryStreamHashAgrees)
{
    struct Case {
        const char* name;
        std::vector<std::shared_ptr<const ScanResult>> scans;
        std::optional<std::string> content;  // nothing: no scan rows at all
        bool hashRowDiffers = false;
        bool hashRow = true;  // streams without a hash make no hash row
    };
    const std::vector<Case> cases{
        {"remux", {scanWith({"aa", "bb"}), scanWith({"aa", "bb"})}, kSameContent, false},
        {"re-encode", {scanWith({"aa", "bb"}), scanWith({"cc", "bb"})}, kDifferentContent, true},
        {"a stream more", {scanWith({"aa"}), scanWith({"aa", "bb"})}, kDifferentContent, false},
        {"no hash",
         {scanWith({std::nullopt}), scanWith({std::nullopt})},
         kDifferentContent,
         false,
         false},
        {"one not scanned", {scanWith({"aa"}), nullptr}, std::nullopt},
        {"none scanned", {nullptr, nullptr}, std::nullopt},
    };
    for (const Case& c : cases) {
        Comparison comparison = compareFiles({probedFile("a.mkv"), probedFile("b.mkv")});
        const std::size_t before = comparison.rows.size();
        appendScanRows(comparison, c.scans);
        const ComparisonRow* content = rowOf(comparison, kScanTrack, "Content");
        if (!c.content) {
            EXPECT_EQ(comparison.rows.size(), before) << c.name;
            continue;
        }
        ASSERT_NE(content, nullptr) << c.name;
        EXPECT_EQ(content->cells[0], c.content) << c.name;
        EXPECT_EQ(content->cells[1], c.content) << c.name;
        EXPECT_EQ(content->differs, *c.content != kSameContent) << c.name;
        const ComparisonRow* hash = rowOf(comparison, "Scan 0", "Content MD5");
        if (!c.hashRow) {
            EXPECT_EQ(hash, nullptr) << c.name;
            continue;
        }
        ASSERT_NE(hash, nullptr) << c.name;
        EXPECT_EQ(hash->differs, c.hashRowDiffers) << c.name;
    }
}

TEST(ScanComparison, AFileThatFailedTakesNoPart)
{
    Comparison comparison = compareFiles(
        {probedFile("a.mkv"), probedFile("b.mkv"), {"c.mkv", "c.mkv", nullptr, "empty file"}});
    appendScanRows(comparison, {scanWith({"aa"}), scanWith({"aa"}), nullptr});
    const ComparisonRow* content = rowOf(comparison, kScanTrack, "Content");
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(content->cells[0], std::optional<std::string>(kSameContent));
    EXPECT_FALSE(content->cells[2]);
    EXPECT_FALSE(content->differs);
}

}  // namespace
}  // namespace vellinor
