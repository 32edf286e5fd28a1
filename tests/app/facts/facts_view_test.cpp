// The Facts tab beside the details table, and the tracks table's summary column.

#include <gtest/gtest.h>

#include <QAction>
#include <QSettings>
#include <QTabWidget>

#include "app/facts/facts_view.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/scroll_drop_view.h"
#include "app/window/main_window.h"
#include "app/window/table_rows.h"
#include "app_test_support.h"

namespace vellinor::test {
namespace {

// Group name -> the "name<TAB>value" lines of its facts.
QMap<QString, QStringList> shownFacts(const FactsView& view)
{
    QMap<QString, QStringList> groups;
    for (int g = 0; g < view.topLevelItemCount(); ++g) {
        const QTreeWidgetItem* group = view.topLevelItem(g);
        for (int i = 0; i < group->childCount(); ++i)
            groups[group->text(0)].append(group->child(i)->text(0) + u'\t' +
                                          group->child(i)->text(1));
    }
    return groups;
}

TEST(FactsView, FollowsTheSelectedTrackAndRemembersTheTab)
{
    auto harness = std::make_unique<WindowHarness>();
    auto* facts = harness->window.findChild<FactsView*>();
    auto* tabs = harness->window.findChild<QTabWidget*>(QStringLiteral("detailsTabs"));
    ASSERT_NE(facts, nullptr);
    ASSERT_NE(tabs, nullptr);
    // The details table stays where it was, one click away.
    EXPECT_TRUE(tabs->widget(0)->isAncestorOf(harness->window.trackDetailsView()));
    EXPECT_EQ(tabs->widget(1), facts);

    harness->delegate.openURLs({fileUrl(testMedia().twoAudio)});
    harness->waitUntilIdle();
    ArrayController* tracks = harness->window.tracksArrayController();
    const QStringList summaries = WindowHarness::column(*tracks, keys::trackSummary);
    ASSERT_GE(summaries.size(), 3);
    EXPECT_EQ(summaries.at(0), QStringLiteral("-"));  // the metadata row

    // The metadata row is selected first: the container's facts.
    EXPECT_TRUE(shownFacts(*facts).contains(QStringLiteral("Container")));
    int audioRow = -1;
    for (int row = 0; row < tracks->content().size(); ++row)
        if (tracks->content().at(row).value(keys::trackType).toString() == u"Audio")
            audioRow = audioRow < 0 ? row : audioRow;
    ASSERT_GT(audioRow, 0);
    tracks->setSelectionIndex(audioRow);
    const auto groups = shownFacts(*facts);
    ASSERT_TRUE(groups.contains(QStringLiteral("Sound"))) << groups.keys().join(u',').toStdString();
    EXPECT_TRUE(groups[QStringLiteral("Sound")].join(u'\n').contains(QStringLiteral("kHz")));
    EXPECT_TRUE(summaries.at(audioRow).contains(QStringLiteral(" kHz")))
        << summaries.at(audioRow).toStdString();
    EXPECT_FALSE(groups.contains(QStringLiteral("Picture")));
    EXPECT_FALSE(facts->topLevelItem(0)->child(0)->toolTip(0).isEmpty());

    facts->selectAll();
    EXPECT_TRUE(facts->selectedText().contains(QStringLiteral("Sampling rate\t")));

    // Ctrl+F finds in the details: their tab comes forward.
    tabs->setCurrentWidget(facts);
    int finds = 0;
    for (QAction* action : harness->window.actions()) {
        if (action->shortcut() == QKeySequence(QKeySequence::Find)) {
            action->trigger();
            ++finds;
        }
    }
    EXPECT_EQ(finds, 1);
    EXPECT_EQ(tabs->currentIndex(), 0);

    // The tab chosen last is the one a new window opens on.
    tabs->setCurrentWidget(facts);
    harness.reset();
    {
        MainWindow again;
        auto* againTabs = again.findChild<QTabWidget*>(QStringLiteral("detailsTabs"));
        ASSERT_NE(againTabs, nullptr);
        EXPECT_EQ(againTabs->currentIndex(), 1);
        againTabs->setCurrentIndex(0);
    }
    MainWindow third;
    EXPECT_EQ(third.findChild<QTabWidget*>(QStringLiteral("detailsTabs"))->currentIndex(), 0);
}

}  // namespace
}  // namespace vellinor::test
