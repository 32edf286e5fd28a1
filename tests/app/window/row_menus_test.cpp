// The context menus of the tracks, details and Facts views: Copy Value, Explain and Filter by
// This Value act on the cell the menu is for, and are disabled where they cannot act.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTabWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "app/facts/facts_view.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/scroll_drop_view.h"
#include "app/window/details_filter.h"
#include "app/window/row_menus.h"
#include "app/window/table_rows.h"
#include "app_test_support.h"
#include "probe/field_explanations.h"
#include "scripted_dialog_runner.h"

namespace vellinor::test {
namespace {

class RowMenusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        harness.delegate.setDialogRunner(dialogs);
        harness.delegate.openURLs({fileUrl(testMedia().twoAudio)});
        harness.waitUntilIdle();
        // The first audio track (English AAC).
        harness.window.tracksView()->setCurrentIndex(
            harness.window.tracksArrayController()->model()->index(2, 0));
        menus = harness.window.findChild<RowMenus*>();
        ASSERT_NE(menus, nullptr);
        facts = harness.window.findChild<FactsView*>();
        ASSERT_NE(facts, nullptr);
    }

    // Makes the details row of `key` current; false when the track has none.
    bool pointAtDetail(const QString& key)
    {
        const QAbstractItemModel* model = harness.window.trackDetailsView()->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, 0).data().toString() == key) {
                harness.window.trackDetailsView()->setCurrentIndex(model->index(row, 1));
                return true;
            }
        }
        return false;
    }
    QString detail(const QString& key) const
    {
        for (const QVariantMap& row : harness.window.trackDetailsArrayController()->content()) {
            if (row.value(keys::key).toString() == key)
                return row.value(keys::value).toString();
        }
        return {};
    }
    void pointAtTrackColumn(const QString& columnKey)
    {
        const QList<TableColumn>& columns =
            harness.window.tracksArrayController()->model()->columns();
        for (int c = 0; c < columns.size(); ++c) {
            if (columns.at(c).key == columnKey)
                harness.window.tracksView()->setCurrentIndex(
                    harness.window.tracksView()->model()->index(2, c));
        }
    }
    // Makes the fact standing for details key `key` current; false when there is none.
    bool pointAtFact(const QString& key)
    {
        for (int g = 0; g < facts->topLevelItemCount(); ++g) {
            for (int i = 0; i < facts->topLevelItem(g)->childCount(); ++i) {
                facts->setCurrentItem(facts->topLevelItem(g)->child(i));
                if (facts->currentFactKey() == key)
                    return true;
            }
        }
        return false;
    }
    QString filterText() const
    {
        return harness.window.trackDetailsView()->findChild<DetailsFilter*>()->lineEdit()->text();
    }

    WindowHarness harness;
    ScriptedDialogRunner dialogs;
    RowMenus* menus = nullptr;
    FactsView* facts = nullptr;
};

TEST_F(RowMenusTest, CommandsActOnTheirCell)
{
    const QString codecLine =
        QStringLiteral("codec_name: ") + QString::fromStdString(*explainField("codec_name"));
    const QString rateLine =
        QStringLiteral("sample_rate: ") + QString::fromStdString(*explainField("sample_rate"));
    struct Case {
        const char* name;
        std::function<bool()> point;
        const RowMenus::Commands& commands;
        QString value;        // Copy Value's clipboard and the filter's text
        QString explanation;  // the alert Explain shows
    };
    const Case cases[] = {
        {"details codec_name", [this] { return pointAtDetail(QStringLiteral("codec_name")); },
         menus->detailsCommands(), QStringLiteral("aac"), codecLine},
        {"tracks codec column",
         [this] {
             pointAtTrackColumn(keys::trackCodec);
             return true;
         },
         menus->tracksCommands(),
         harness.window.tracksView()->model()->index(2, 2).data().toString(), codecLine},
        // The fact reads "44.1 kHz"; the details hold "44100", which the filter looks for.
        {"facts sample rate", [this] { return pointAtFact(QStringLiteral("sample_rate")); },
         menus->factsCommands(), detail(QStringLiteral("sample_rate")), rateLine},
    };
    for (const Case& c : cases) {
        harness.window.trackDetailsView()->findChild<DetailsFilter*>()->lineEdit()->clear();
        ASSERT_TRUE(c.point()) << c.name;
        ASSERT_FALSE(c.value.isEmpty()) << c.name;
        if (c.commands.copyValue != nullptr) {
            QGuiApplication::clipboard()->clear();
            c.commands.copyValue->trigger();
            EXPECT_EQ(QGuiApplication::clipboard()->text(), c.value) << c.name;
        }
        dialogs.alerts.clear();
        c.commands.explain->trigger();
        ASSERT_EQ(dialogs.alerts.size(), 1) << c.name;
        EXPECT_EQ(dialogs.alerts.front().messageText, c.explanation) << c.name;
        c.commands.filterByValue->trigger();
        EXPECT_EQ(filterText(), c.value) << c.name;
    }
    // Filtering from the Facts tab brings the filtered details forward.
    auto* tabs = harness.window.findChild<QTabWidget*>(QStringLiteral("detailsTabs"));
    ASSERT_NE(tabs, nullptr);
    EXPECT_TRUE(tabs->currentWidget()->isAncestorOf(harness.window.trackDetailsView()));
}

TEST_F(RowMenusTest, ACellWithoutAFieldCannotBeExplained)
{
    // The summary column shows many fields at once; a blank value cannot be a filter.
    pointAtTrackColumn(keys::trackSummary);
    Q_EMIT harness.window.tracksView()->contextMenuAboutToShow();
    EXPECT_FALSE(menus->tracksCommands().explain->isEnabled());
    EXPECT_TRUE(menus->tracksCommands().filterByValue->isEnabled());
    dialogs.alerts.clear();
    menus->tracksCommands().explain->trigger();
    EXPECT_TRUE(dialogs.alerts.isEmpty());

    ASSERT_TRUE(pointAtDetail(QStringLiteral("codec_name")));
    Q_EMIT harness.window.trackDetailsView()->contextMenuAboutToShow();
    EXPECT_TRUE(menus->detailsCommands().explain->isEnabled());
    harness.window.trackDetailsView()->setCurrentIndex({});
    Q_EMIT harness.window.trackDetailsView()->contextMenuAboutToShow();
    for (QAction* action : {menus->detailsCommands().copyValue, menus->detailsCommands().explain,
                            menus->detailsCommands().filterByValue})
        EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
}

}  // namespace
}  // namespace vellinor::test
