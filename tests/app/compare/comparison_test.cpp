// The window's comparison of files and its details filter, headless: the Compare command's
// enabling, the table of four files that differ in frame rate and audio language, the switch
// that keeps the differing rows, a file that fails, export, and finding a field.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include "app/compare/compare_action.h"
#include "app/compare/comparison_model.h"
#include "app/compare/comparison_window.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/scroll_drop_view.h"
#include "app/window/details_filter.h"
#include "app_test_support.h"
#include "scripted_dialog_runner.h"

namespace vellinor::test {
namespace {

namespace fs = std::filesystem;

const std::vector<fs::path>& comparisonSet()
{
    static TempDir folder;
    static const std::vector<fs::path> files = makeComparisonSet(folder.path());
    return files;
}

CompareAction* compareActionOf(MainWindow& window)
{
    return window.findChild<CompareAction*>();
}

// Opens a comparison of `paths` through the window's Compare command and waits for it.
ComparisonWindow* compareThroughWindow(WindowHarness& harness, const std::vector<fs::path>& paths)
{
    QList<QUrl> urls;
    for (const fs::path& path : paths)
        urls.append(fileUrl(path));
    harness.delegate.openURLs(urls);
    harness.waitUntilIdle();
    harness.window.fileListView()->selectAll();
    CompareAction* compare = compareActionOf(harness.window);
    EXPECT_TRUE(compare->action()->isEnabled());
    compare->action()->trigger();
    ComparisonWindow* comparison = compare->lastWindow();
    if (comparison == nullptr)
        return nullptr;
    QElapsedTimer clock;
    clock.start();
    while (!comparison->isComplete() && clock.elapsed() < 60'000)
        QTest::qWait(10);
    return comparison;
}

QStringList column(const QAbstractItemModel& model, int column)
{
    QStringList values;
    for (int row = 0; row < model.rowCount(); ++row)
        values.append(model.index(row, column).data().toString());
    return values;
}

QStringList markedFacts(const QAbstractItemModel& model)
{
    QStringList facts;
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.index(row, ComparisonModel::markerColumn).data().toString() == u"≠")
            facts.append(model.index(row, ComparisonModel::trackColumn).data().toString() + u' ' +
                         model.index(row, ComparisonModel::factColumn).data().toString());
    }
    return facts;
}

TEST(ComparisonWindow, CompareIsEnabledForTwoToEightSelectedFiles)
{
    WindowHarness harness(ProbeOptions{"/nonexistent/sniffer", {}, {}});
    CompareAction* compare = compareActionOf(harness.window);
    ASSERT_NE(compare, nullptr);
    EXPECT_EQ(compare->action()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_D));
    EXPECT_TRUE(harness.window.fileListView()->actions().contains(compare->action()));

    QList<QUrl> urls;
    for (int i = 0; i < 9; ++i)
        urls.append(QUrl::fromLocalFile(QStringLiteral("/media/clip%1.mkv").arg(i)));
    harness.delegate.openURLs(urls);
    harness.waitUntilIdle();
    ArrayController& files = *harness.window.fileListArrayController();
    QItemSelectionModel& selection = *files.selectionModel();
    const struct {
        int selected;
        bool enabled;
    } cases[] = {{0, false}, {1, false}, {2, true}, {8, true}, {9, false}};
    for (const auto& c : cases) {
        selection.clearSelection();
        for (int row = 0; row < c.selected; ++row)
            selection.select(files.model()->index(row, 0),
                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
        EXPECT_EQ(compare->action()->isEnabled(), c.enabled) << c.selected << " selected";
    }
}

TEST(ComparisonWindow, FourFilesMarkFrameRateAndAudioLanguageOnly)
{
    WindowHarness harness;
    ComparisonWindow* comparison = compareThroughWindow(harness, comparisonSet());
    ASSERT_NE(comparison, nullptr);
    ASSERT_TRUE(comparison->isComplete());
    ComparisonModel& model = *comparison->model();
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    EXPECT_EQ(model.columnCount(), ComparisonModel::firstFileColumn + 4);
    EXPECT_EQ(model.headerData(ComparisonModel::firstFileColumn, Qt::Horizontal).toString(),
              QStringLiteral("episode-25fps-eng.mkv"));
    EXPECT_EQ(markedFacts(model), (QStringList{QStringLiteral("Video 1 Frame rate"),
                                               QStringLiteral("Audio 1 Language")}));
    const int all = model.rowCount();
    // The tint is on the differing rows only.
    for (int row = 0; row < all; ++row) {
        const bool marked = !model.index(row, 0).data().toString().isEmpty();
        EXPECT_EQ(model.index(row, 3).data(Qt::BackgroundRole).isValid(), marked) << row;
    }
    EXPECT_TRUE(comparison->statusLabel()->text().contains(QStringLiteral("2 of")));

    comparison->onlyDifferencesSwitch()->setChecked(true);
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(column(model, ComparisonModel::firstFileColumn + 2),
              (QStringList{QStringLiteral("30"), QStringLiteral("English")}));
    comparison->onlyDifferencesSwitch()->setChecked(false);
    EXPECT_EQ(model.rowCount(), all);

    // The fact's tooltip explains the key it comes from.
    for (int row = 0; row < all; ++row) {
        if (model.index(row, ComparisonModel::factColumn).data().toString() == u"Pixel format") {
            EXPECT_TRUE(model.index(row, ComparisonModel::factColumn)
                            .data(Qt::ToolTipRole)
                            .toString()
                            .startsWith(QStringLiteral("pix_fmt: Pixel format")));
        }
    }
}

TEST(ComparisonWindow, AFileThatFailsSaysWhyAndTheOthersStillCompare)
{
    TempDir folder;
    writeFile(folder / "empty.mkv", "");
    const auto& set = comparisonSet();
    WindowHarness harness;
    ComparisonWindow* comparison =
        compareThroughWindow(harness, {set[0], folder / "empty.mkv", set[2]});
    ASSERT_NE(comparison, nullptr);
    ComparisonModel& model = *comparison->model();
    EXPECT_TRUE(model.headerData(ComparisonModel::firstFileColumn + 1, Qt::Horizontal)
                    .toString()
                    .startsWith(u"⚠"));
    EXPECT_TRUE(
        model.headerData(ComparisonModel::firstFileColumn + 1, Qt::Horizontal, Qt::ToolTipRole)
            .toString()
            .endsWith(QStringLiteral("empty file")));
    EXPECT_EQ(markedFacts(model),
              (QStringList{QStringLiteral("File Problem"), QStringLiteral("Video 1 Frame rate")}));
    EXPECT_EQ(model.index(0, ComparisonModel::firstFileColumn + 1).data().toString(),
              QStringLiteral("empty file"));
}

TEST(ComparisonWindow, ExportsWhatIsShownAsCsvOrJson)
{
    TempDir folder;
    WindowHarness harness;
    ComparisonWindow* comparison = compareThroughWindow(harness, comparisonSet());
    ASSERT_NE(comparison, nullptr);
    ScriptedDialogRunner dialogs;
    comparison->setDialogRunner(dialogs);
    comparison->onlyDifferencesSwitch()->setChecked(true);

    dialogs.savePath = QString::fromStdString((folder / "differences.csv").string());
    comparison->exportCsv();
    ASSERT_EQ(dialogs.saveRequests.size(), 1);
    EXPECT_EQ(dialogs.saveRequests[0].defaultSuffix, QStringLiteral("csv"));
    EXPECT_EQ(readFile(folder / "differences.csv"), comparisonCsv(comparison->model()->shown()));
    EXPECT_EQ(comparison->model()->shown().rows.size(), 2u);

    dialogs.savePath = QString::fromStdString((folder / "all.json").string());
    comparison->onlyDifferencesSwitch()->setChecked(false);
    comparison->exportJson();
    const auto json = JSON::parse(readFile(folder / "all.json"));
    ASSERT_TRUE(json.hasValue());
    EXPECT_EQ((*json)["rows"].count(), comparison->model()->comparison().rows.size());

    dialogs.savePath = QString::fromStdString((folder / "no such folder" / "x.csv").string());
    comparison->exportCsv();
    EXPECT_EQ(dialogs.alerts.size(), 1);  // the failure is told, nothing half written
}

TEST(DetailsFilter, NarrowsRowsToKeysOrValuesAndKeepsItAcrossTracks)
{
    WindowHarness harness;
    harness.delegate.openURLs({fileUrl(testMedia().twoAudio)});
    harness.waitUntilIdle();
    ArrayController& tracks = *harness.window.tracksArrayController();
    tracks.setSelectionIndex(1);  // the video track
    ScrollDropView& details = *harness.window.trackDetailsView();
    auto* filter = harness.window.findChild<DetailsFilter*>();
    ASSERT_NE(filter, nullptr);
    QLineEdit& edit = *filter->lineEdit();

    auto visibleKeys = [&] {
        QStringList keys;
        for (int row = 0; row < details.model()->rowCount(); ++row) {
            if (!details.isRowHidden(row))
                keys.append(details.model()->index(row, 0).data().toString());
        }
        return keys;
    };
    const QStringList everything = visibleKeys();
    ASSERT_GT(everything.size(), 10);

    const struct {
        QString text;
        QStringList keys;  // empty: check only that some row shows and all contain it
    } cases[] = {
        {QStringLiteral("CODEC_NAME"), {QStringLiteral("codec_name")}},
        {QStringLiteral("yuv420"), {QStringLiteral("pix_fmt")}},
        {QStringLiteral("no row has this"), {}},
        {QString(), everything},
    };
    for (const auto& c : cases) {
        edit.setText(c.text);
        EXPECT_EQ(visibleKeys(), c.keys) << c.text.toStdString();
    }

    // Select All selects what shows, so a copy holds only those rows.
    edit.setText(QStringLiteral("codec"));
    details.selectAll();
    EXPECT_EQ(harness.window.trackDetailsArrayController()->selectedObjects().size(),
              visibleKeys().size());

    edit.setText(QStringLiteral("codec_type"));
    tracks.setSelectionIndex(2);  // an audio track: the filter stays
    EXPECT_EQ(edit.text(), QStringLiteral("codec_type"));
    EXPECT_EQ(visibleKeys(), QStringList{QStringLiteral("codec_type")});

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&edit, &escape);
    EXPECT_EQ(edit.text(), QString());
    EXPECT_EQ(visibleKeys().size(), details.model()->rowCount());

    // Hovering a key shows what it means.
    harness.window.show();
    edit.setText(QStringLiteral("codec_name"));
    int shownRow = 0;
    while (shownRow < details.model()->rowCount() && details.isRowHidden(shownRow))
        ++shownRow;
    const QRect cell = details.visualRect(details.model()->index(shownRow, 0));
    QHelpEvent hover(QEvent::ToolTip, cell.center(),
                     details.viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(details.viewport(), &hover);
    EXPECT_TRUE(QToolTip::text().startsWith(QStringLiteral("codec_name: Short name of the codec")))
        << QToolTip::text().toStdString();
    QToolTip::hideText();

    EXPECT_TRUE(DetailsFilter::keyToolTip(QStringLiteral("default.disposition"))
                    .startsWith(QStringLiteral("default.disposition: ")));
    EXPECT_TRUE(DetailsFilter::keyToolTip(QStringLiteral("not_a_field")).isEmpty());
}

}  // namespace
}  // namespace vellinor::test
