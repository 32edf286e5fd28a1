// The main window's layout: the overview's columns give way in order and never reach past its
// edge (every cut value ends in an ellipsis, with a tooltip), and a maximised window's room goes
// to the poster, the overview and the file list.

#include <numeric>

#include <QHeaderView>
#include <QSplitter>
#include <QTest>

#include <gtest/gtest.h>

#include "app/widgets/image_drop_view.h"
#include "app/widgets/scroll_drop_view.h"
#include "app_test_support.h"

namespace vellinor::test {
namespace {

TEST(WindowLayout, OverviewColumnsGiveWayInTurn)
{
    struct Case {
        const char* name;
        std::array<int, 4> natural;
        int room;
        std::array<int, 4> expected;
    };
    // Characters 10 px wide: a gap of 40, floors of 60 and 20.
    const Case cases[] = {
        {"right pair halfway", {100, 60, 150, 50}, 1000, {100, 400, 150, 350}},
        {"right pair as far as it fits", {100, 60, 400, 200}, 1000, {100, 300, 400, 200}},
        {"just enough", {100, 60, 150, 50}, 400, {100, 100, 150, 50}},
        {"the gap goes first", {100, 60, 150, 50}, 380, {100, 80, 150, 50}},
        {"then the values, in proportion", {100, 90, 150, 90}, 400, {100, 78, 150, 72}},
        {"then the labels", {100, 90, 150, 90}, 300, {79, 60, 101, 60}},
        {"never past the room", {100, 90, 150, 90}, 50, {20, 0, 20, 10}},
    };
    for (const Case& c : cases) {
        const std::array<int, 4> widths = overviewColumnWidths(c.natural, c.room, 10);
        EXPECT_EQ(widths, c.expected) << c.name;
        EXPECT_LE(std::accumulate(widths.begin(), widths.end(), 0), std::max(c.room, 0)) << c.name;
    }
}

int columnsWidth(const QHeaderView& header)
{
    int sum = 0;
    for (int column = 0; column < header.count(); ++column)
        sum += header.sectionSize(column);
    return sum;
}

TEST(WindowLayout, NothingIsCutOffAtTheEdgeOfTheOverview)
{
    WindowHarness harness;
    harness.window.show();
    harness.delegate.openURLs({fileUrl(testMedia().twoAudio)});
    harness.waitUntilIdle();
    auto* splitter = harness.window.findChild<QSplitter*>(QStringLiteral("mainSplitter"));
    ASSERT_NE(splitter, nullptr);
    ScrollDropView* overview = harness.window.overviewView();
    const std::pair<const char*, std::function<void()>> layouts[] = {
        {"minimum size",
         [&] {
             harness.window.resize(
                 harness.window.minimumSizeHint().expandedTo(harness.window.minimumSize()));
         }},
        {"file list dragged wide",
         [&] {
             splitter->setSizes({700, 100});
         }},
    };
    for (const auto& [name, layout] : layouts) {
        layout();
        QTest::qWait(20);
        EXPECT_LE(columnsWidth(*overview->horizontalHeader()), overview->viewport()->width())
            << name;
    }
}

TEST(WindowLayout, AMaximisedWindowGivesItsRoomToThePosterOverviewAndFiles)
{
    struct Shown {
        int poster;
        int files;
        int rightPairStart;
        int overviewWidth;
    };
    const auto shownAt = [](QSize size) {
        WindowHarness harness;
        harness.window.resize(size);
        harness.window.show();
        harness.delegate.openURLs({fileUrl(testMedia().twoAudio)});
        harness.waitUntilIdle();
        QTest::qWait(20);
        const QHeaderView* header = harness.window.overviewView()->horizontalHeader();
        return Shown{harness.window.posterView()->width(), harness.window.fileListView()->width(),
                     header->sectionPosition(2),
                     harness.window.overviewView()->viewport()->width()};
    };
    const Shown normal = shownAt({1280, 800});
    const Shown maximised = shownAt({1920, 1048});
    EXPECT_GT(maximised.poster, normal.poster * 5 / 4);
    EXPECT_GT(maximised.files, normal.files);
    EXPECT_GE(maximised.rightPairStart, maximised.overviewWidth / 2);
}

}  // namespace
}  // namespace vellinor::test
