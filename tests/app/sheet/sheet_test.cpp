// The sheet of all files: its rows follow the file list, its columns sort by value, the filter
// and the chosen columns narrow it, and its CSV is the command line's.

#include <QHeaderView>
#include <QLineEdit>
#include <QSettings>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include "app/sheet/sheet_model.h"
#include "app/sheet/sheet_window.h"
#include "app/widgets/array_controller.h"
#include "app/window/view_actions.h"
#include "app_test_support.h"
#include "probe/csv_row.h"
#include "probe/verdict.h"
#include "scripted_dialog_runner.h"

namespace vellinor::test {
namespace {

namespace fs = std::filesystem;

// The sheet of `harness`'s window, opened and filled in.
SheetWindow& openSheet(WindowHarness& harness)
{
    auto* views = harness.window.findChild<ViewActions*>();
    EXPECT_NE(views, nullptr);
    views->sheetAction()->trigger();
    SheetWindow* sheet = views->sheetWindow();
    EXPECT_NE(sheet, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([sheet] { return sheet->isComplete(); }, 60'000));
    QCoreApplication::processEvents();
    return *sheet;
}

// The paths column as shown, top to bottom.
QStringList shownPaths(const SheetWindow& sheet)
{
    QStringList paths;
    const QAbstractItemModel* shown = sheet.tableView()->model();
    for (int row = 0; row < shown->rowCount(); ++row)
        paths.append(shown->index(row, 0).data(SheetModel::kSortRole).toString());
    return paths;
}

class Sheet : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().remove(QString::fromLatin1(SheetWindow::kHiddenColumnsKey));
        // Sizes: empty < audio-only < two-audio; durations: the same order but for the empty.
        fs::copy_file(testMedia().twoAudio, folder / "b-video.mkv");
        fs::copy_file(testMedia().audioOnly, folder / "a-audio.m4a");
        writeFile(folder / "c-empty.mp4", "");
        for (const char* name : {"b-video.mkv", "a-audio.m4a", "c-empty.mp4"})
            paths.append(QString::fromStdString((folder / name).string()));
    }
    void TearDown() override
    {
        QSettings().remove(QString::fromLatin1(SheetWindow::kHiddenColumnsKey));
    }

    void addAll(WindowHarness& harness)
    {
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(QUrl::fromLocalFile(path));
        harness.delegate.openURLs(urls);
        harness.waitUntilIdle();
    }

    // What vellinor-cli --csv prints for `order`.
    std::string cliCsv(const QStringList& order) const
    {
        std::string csv = csvHeader();
        for (const QString& path : order) {
            const FileProbe probe(path.toStdString());
            csv +=
                csvRow(path.toStdString(), probe, fileVerdict(path.toStdString(), probe).problem);
        }
        return csv;
    }

    TempDir folder;
    QStringList paths;
};

TEST_F(Sheet, ShowsEveryListedFileAndExportsWhatTheCommandLinePrints)
{
    WindowHarness harness;
    addAll(harness);
    SheetWindow& sheet = openSheet(harness);
    const QStringList byPath{paths[1], paths[0], paths[2]};
    EXPECT_EQ(shownPaths(sheet), byPath);
    EXPECT_EQ(sheet.shownCsv(), cliCsv(byPath));

    // Readable cells, values underneath.
    const QAbstractItemModel* shown = sheet.tableView()->model();
    EXPECT_EQ(shown->index(2, 11).data().toString(), QStringLiteral("empty file"));
    EXPECT_TRUE(shown->index(1, 1).data().toString().endsWith(QStringLiteral("KB")))
        << shown->index(1, 1).data().toString().toStdString();

    ScriptedDialogRunner dialogs;
    dialogs.savePath = QString::fromStdString((folder / "sheet.csv").string());
    WindowHarness exporting;  // the sheet asks the dialogs it was made with
    exporting.delegate.setDialogRunner(dialogs);
    addAll(exporting);
    SheetWindow& exported = openSheet(exporting);
    exported.exportCsv();
    EXPECT_EQ(readFile(folder / "sheet.csv"), cliCsv(byPath));
}

TEST_F(Sheet, SortsByTheValuesFiltersAndExportsOnlyTheChosenColumns)
{
    WindowHarness harness;
    addAll(harness);
    SheetWindow& sheet = openSheet(harness);
    struct Case {
        int column;
        Qt::SortOrder order;
        QStringList expected;
    };
    const Case cases[] = {
        {1, Qt::DescendingOrder, {paths[0], paths[1], paths[2]}},  // size
        {1, Qt::AscendingOrder, {paths[2], paths[1], paths[0]}},
        {0, Qt::DescendingOrder, {paths[2], paths[0], paths[1]}},
    };
    for (const Case& c : cases) {
        sheet.tableView()->sortByColumn(c.column, c.order);
        EXPECT_EQ(shownPaths(sheet), c.expected) << "column " << c.column;
    }

    sheet.filterField()->setText(QStringLiteral("AAC"));  // any case; both real files
    EXPECT_EQ(sheet.tableView()->model()->rowCount(), 2);
    sheet.setColumnShown(7, false);  // audio_codecs: hidden, no longer filtered on
    EXPECT_EQ(sheet.tableView()->model()->rowCount(), 0);
    sheet.filterField()->setText(QStringLiteral("empty"));
    for (int column = 1; column < 11; ++column)
        sheet.setColumnShown(column, false);
    EXPECT_EQ(sheet.shownCsv(), "path,problem\r\n" + paths[2].toStdString() + ",empty file\r\n");

    // The choice of columns is remembered for the next sheet.
    WindowHarness next;
    addAll(next);
    SheetWindow& reopened = openSheet(next);
    EXPECT_TRUE(reopened.tableView()->isColumnHidden(7));
    EXPECT_FALSE(reopened.tableView()->isColumnHidden(11));
}

TEST_F(Sheet, FollowsTheFileList)
{
    WindowHarness harness;
    addAll(harness);
    SheetWindow& sheet = openSheet(harness);
    harness.window.fileListArrayController()->setSelectionIndex(0);
    harness.delegate.removeMediaBTNClicked();
    harness.waitUntilIdle();
    EXPECT_EQ(shownPaths(sheet), (QStringList{paths[1], paths[2]}));
    harness.delegate.openURLs({QUrl::fromLocalFile(paths[0])});
    EXPECT_TRUE(QTest::qWaitFor([&] { return sheet.isComplete(); }, 60'000));
    EXPECT_EQ(sheet.model()->rowCount(), 3);
}

}  // namespace
}  // namespace vellinor::test
