// The pieces of vellinor-cli on their own: widths, tables, names, ordering, records.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <thread>

#include "cli/batch_progress.h"
#include "cli/ordered_batch.h"
#include "cli/probe_record.h"
#include "cli/report_export.h"
#include "format/text_table.h"
#include "json/finite_numbers.h"
#include "support/test_support.h"

namespace vellinor::cli {
namespace {

TEST(CliText, WidthAndPrintableText)
{
    struct Case {
        std::string text;
        std::size_t width;
        std::string printable;
    };
    const std::vector<Case> cases{
        {"", 0, ""},
        {"English", 7, "English"},
        {"Norwegian Bokm\xC3\xA5l", 16, "Norwegian Bokm\xC3\xA5l"},
        {"\xE2\x82\xAC 5", 3, "\xE2\x82\xAC 5"},      // euro sign
        {"\xF0\x9F\x8E\xAC", 1, "\xF0\x9F\x8E\xAC"},  // one 4-byte code point
        {"a\tb", 3, "a b"},
        {"red\x1b[31m", 8, "red\xEF\xBF\xBD[31m"},
        {"line\nbreak\r", 11,
         "line\xEF\xBF\xBD"
         "break\xEF\xBF\xBD"},
        {"csi\xC2\x9B"
         "2J",
         6,
         "csi\xEF\xBF\xBD"
         "2J"},                                   // U+009B
        {"nbsp\xC2\xA0ok", 7, "nbsp\xC2\xA0ok"},  // U+00A0 is not a control
        {std::string("nul\0x", 5), 5, "nul\xEF\xBF\xBDx"},
        {"del\x7F", 4, "del\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(printableText(c.text), c.printable) << c.text;
        EXPECT_EQ(displayWidth(printableText(c.text)), c.width) << c.text;
    }
}

TEST(CliText, ColumnsLineUpByCodePointsAndColourCodesTakeNoRoom)
{
    const std::vector<TextRow> rows{
        {{"1"}, {"Norwegian Bokm\xC3\xA5l"}, {"x"}},
        {{"10"}, {"English", CellColor::green}, {"y"}},
        {{"2"}, {""}, {""}},
    };
    EXPECT_EQ(alignColumns(rows, {" | "}, false),
              (std::vector<std::string>{"1  | Norwegian Bokm\xC3\xA5l  x",
                                        "10 | English           y", "2  |"}));
    EXPECT_EQ(alignColumns(rows, {" | "}, true)[1], "10 | \x1b[32mEnglish\x1b[0m           y");
}

std::string repeated(const std::string& text, int times)
{
    std::string whole;
    for (int i = 0; i < times; ++i)
        whole += text;
    return whole;
}

TEST(CliExportNames, SuffixesNamesTakenInThisRun)
{
    ExportNames names;
    const std::vector<std::pair<std::string, std::string>> cases{
        {"clip.mkv", "clip.json"},
        {"clip.mp4", "clip-2.json"},
        {"clip", "clip-3.json"},
        {"clip-2.mkv", "clip-2-2.json"},
        {"clip.final.mkv", "clip.final.json"},
        {".hidden", ".hidden.json"},
        {"Clip.mkv", "Clip.json"},
        {"clip.json", "clip-4.json"},
        // A stem that fits with ".json" keeps every byte; a longer one is cut to fit in 255
        // bytes, never inside a character.
        {std::string(250, 'a') + ".mkv", std::string(250, 'a') + ".json"},
        {std::string(251, 'b') + ".mkv", std::string(250, 'b') + ".json"},
        {std::string(251, 'b') + ".mp4", std::string(248, 'b') + "-2.json"},
        {"x" + repeated("\u00e9", 125) + ".mkv", "x" + repeated("\u00e9", 124) + ".json"},
    };
    for (const auto& [file, expected] : cases) {
        EXPECT_EQ(names.take(file), expected) << file;
    }
}

TEST(CliOrderedBatch, DeliversInIndexOrderWhateverFinishesFirst)
{
    for (unsigned threads : {1u, 2u, 4u, 16u}) {
        std::vector<std::size_t> delivered;
        std::atomic<int> running{0};
        std::atomic<int> mostRunning{0};
        runInOrder<std::size_t>(
            40, threads,
            [&](std::size_t i) {
                const int now = ++running;
                int seen = mostRunning.load();
                while (now > seen && !mostRunning.compare_exchange_weak(seen, now)) {
                }
                // Later items finish first.
                std::this_thread::sleep_for(std::chrono::microseconds((40 - i) * 50));
                --running;
                return i * 10;
            },
            [&](std::size_t i, std::size_t& value) {
                EXPECT_EQ(value, i * 10);
                delivered.push_back(i);
                return true;
            });
        ASSERT_EQ(delivered.size(), 40u) << threads;
        for (std::size_t i = 0; i < delivered.size(); ++i) {
            EXPECT_EQ(delivered[i], i);
        }
        EXPECT_LE(mostRunning.load(), static_cast<int>(threads));
    }
}

TEST(CliOrderedBatch, StopsWhenDeliveryFailsAndRethrowsWorkFailures)
{
    std::atomic<std::size_t> started{0};
    std::size_t delivered = 0;
    runInOrder<int>(
        1000, 4,
        [&](std::size_t) {
            ++started;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return 0;
        },
        [&](std::size_t i, int&) {
            ++delivered;
            return i < 2;
        });
    EXPECT_EQ(delivered, 3u);
    EXPECT_LT(started.load(), 1000u);

    EXPECT_THROW(runInOrder<int>(
                     10, 3,
                     [](std::size_t i) {
                         if (i == 5)
                             throw std::runtime_error("work failed");
                         return 0;
                     },
                     [](std::size_t, int&) { return true; }),
                 std::runtime_error);
}

TEST(CliOrderedBatch, AThrowingDeliveryStopsTheWorkersInsteadOfWaitingForThem)
{
    // The workers have filled the window and wait for room when the delivery throws: they
    // must be told to stop, or joining them would wait forever.
    EXPECT_THROW(runInOrder<int>(
                     1000, 4, [](std::size_t) { return 0; },
                     [](std::size_t i, int&) {
                         if (i == 2)
                             throw std::runtime_error("delivery failed");
                         return true;
                     }),
                 std::runtime_error);
}

TEST(CliOrderedBatch, PullsItemsOnlyAsFarAheadAsTheWindow)
{
    for (const unsigned threads : {1u, 3u, 8u}) {
        const std::size_t window = defaultWindow(threads);
        std::size_t pulled = 0;
        std::size_t delivered = 0;
        std::size_t mostAhead = 0;
        runInOrder<std::size_t, std::size_t>(
            [&]() -> std::optional<std::size_t> {
                if (pulled == 500)
                    return std::nullopt;
                return pulled++;
            },
            threads, window,
            [](const std::size_t& i) {
                // An early item is slow, so the later ones pile up behind it.
                if (i % 100 == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                return i;
            },
            [&](std::size_t& item, std::size_t& result) {
                EXPECT_EQ(item, delivered);
                EXPECT_EQ(result, delivered);
                ++delivered;
                mostAhead = std::max(mostAhead, pulled - delivered);
                return true;
            });
        EXPECT_EQ(delivered, 500u) << threads;
        EXPECT_LE(mostAhead, threads <= 1 ? 0u : window) << threads;
    }
}

TEST(CliProgress, LineText)
{
    using std::chrono::duration;
    EXPECT_EQ(progressText(0, 2000, duration<double>(0.0)), "vellinor-cli: 0/2000 files");
    EXPECT_EQ(progressText(100, 2000, duration<double>(4.0)),
              "vellinor-cli: 100/2000 files, 25.0 files/s, 1:16 left");
    EXPECT_EQ(progressText(10, 100000, duration<double>(10.0)),
              "vellinor-cli: 10/100000 files, 1.0 files/s, 27:46:30 left");
    EXPECT_EQ(progressText(7, std::nullopt, duration<double>(2.0)),
              "vellinor-cli: 7 files, 3.5 files/s");
}

TEST(CliRecordJson, NonFiniteNumbersBecomeNull)
{
    const double inf = std::numeric_limits<double>::infinity();
    const JSON summary = JSON::dictionary({{"ratio", JSON(std::nan(""))},
                                           {"width", JSON(1280)},
                                           {"list", JSON::array({JSON(inf), JSON(1.5)})}});
    const JSON finite = withFiniteNumbers(summary);
    EXPECT_EQ(finite["ratio"].type(), JSONType::null);
    EXPECT_EQ(finite["width"], JSON(1280));
    EXPECT_EQ(finite["list"][0].type(), JSONType::null);
    EXPECT_EQ(finite["list"][1], JSON(1.5));
    EXPECT_TRUE(finite.rawString().has_value());
}

// A Latin-1 file name used to make the whole record unwritable, so the file was missing from
// the --record array: texts made from the path are mended to UTF-8.
TEST(CliRecordJson, NamesThatAreNotUtf8StillGiveARecord)
{
    FileProbe probe;
    probe.fileName = "caf\xe9.mkv";
    probe.hasErrors = true;
    probe.toolProblem = "could not start the probe tool: /opt/\xff/sniffer";
    const JSON record = probeRecord("clips/caf\xe9.mkv", probe, "no such file");
    ASSERT_TRUE(record.rawString().has_value());
    EXPECT_EQ(record["path"], JSON("clips/caf\uFFFD.mkv"));
    EXPECT_EQ(record["fileName"], JSON("caf\uFFFD.mkv"));
    EXPECT_EQ(record["toolProblem"], JSON("could not start the probe tool: /opt/\uFFFD/sniffer"));
}

TEST(CliRecordJson, StreamedArrayReadsLikeTheWritersOwn)
{
    const std::vector<JSON> elements{
        JSON::dictionary({{"path", "a.mkv"}, {"rows", JSON::array({JSON(1), JSON("x\ny")})}}),
        JSON::dictionary({{"path", "b.mkv"}, {"nested", JSON::dictionary({{"k", true}})}}),
    };
    RecordArrayWriter writer;
    std::string streamed = writer.begin();
    for (const JSON& element : elements)
        streamed += writer.element(*element.rawString());
    streamed += writer.end();
    EXPECT_EQ(streamed, *JSON(elements).rawString() + "\n");

    RecordArrayWriter empty;
    EXPECT_EQ(empty.begin() + empty.end(), "[]\n");
}

}  // namespace
}  // namespace vellinor::cli
