#include <iostream>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/widgets/array_controller.h"
#include "app/widgets/colored_text.h"
#include "app/widgets/image_drop_view.h"
#include "app/widgets/scroll_drop_view.h"
#include "app/window/table_rows.h"
#include "app_test_support.h"

namespace vellinor::test {
namespace {

QStringList fileNames(const WindowHarness& harness)
{
    return WindowHarness::column(*harness.window.fileListArrayController(), keys::fileName);
}

// The overview row whose left or right label is `label`, as (value text, colour).
struct ShownValue {
    QString text;
    QVariant foreground;
};
ShownValue overviewValue(const WindowHarness& harness, const QString& label)
{
    DictionaryTableModel* model = harness.window.overviewArrayController()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        for (int keyColumn : {0, 2}) {
            if (model->data(model->index(row, keyColumn), Qt::DisplayRole).toString() == label) {
                const QModelIndex value = model->index(row, keyColumn + 1);
                return {model->data(value, Qt::DisplayRole).toString(),
                        model->data(value, Qt::ForegroundRole)};
            }
        }
    }
    ADD_FAILURE() << "no overview row " << label.toStdString();
    return {};
}

bool isGreen(const QVariant& colour)
{
    const auto c = colour.value<QColor>();
    return colour.isValid() && c.green() > c.red();
}
bool isRed(const QVariant& colour)
{
    const auto c = colour.value<QColor>();
    return colour.isValid() && c.red() > c.green();
}

TEST(SelectionDisplay, AFileWithoutVideoShowsNoInRed)
{
    WindowHarness harness;
    harness.delegate.openURLs({fileUrl(testMedia().audioOnly)});
    harness.waitUntilIdle();

    EXPECT_EQ(harness.window.filePathLabel()->text(), QStringLiteral("File Name: audio-only.m4a"));
    const ShownValue video = overviewValue(harness, QStringLiteral("Video Track Present?: "));
    EXPECT_EQ(video.text, QStringLiteral("No"));
    EXPECT_TRUE(isRed(video.foreground));
    const ShownValue audio = overviewValue(harness, QStringLiteral("Audio Track Present?: "));
    EXPECT_EQ(audio.text, QStringLiteral("Yes(1)"));
    EXPECT_TRUE(isGreen(audio.foreground));
    EXPECT_EQ(harness.window.overviewArrayController()->content().size(), 5);
}

TEST(SelectionDisplay, TwoAudioTracksShowYes2InGreenAndTheMetadataRowComesFirst)
{
    WindowHarness harness;
    harness.delegate.openURLs({fileUrl(testMedia().twoAudio)});
    harness.waitUntilIdle();

    const ShownValue audio = overviewValue(harness, QStringLiteral("Audio Track Present?: "));
    EXPECT_EQ(audio.text, QStringLiteral("Yes(2)"));
    EXPECT_TRUE(isGreen(audio.foreground));
    const ShownValue valid = overviewValue(harness, QStringLiteral("Is Valid Media?: "));
    EXPECT_EQ(valid.text, QStringLiteral("Yes"));
    EXPECT_TRUE(isGreen(valid.foreground));
    const ShownValue errors = overviewValue(harness, QStringLiteral("Has Errors?: "));
    EXPECT_EQ(errors.text, QStringLiteral("No"));
    EXPECT_TRUE(isGreen(errors.foreground));
    EXPECT_EQ(overviewValue(harness, QStringLiteral("Number of Tracks: ")).text,
              QStringLiteral("3"));

    const ArrayController& tracks = *harness.window.tracksArrayController();
    EXPECT_EQ(WindowHarness::column(tracks, keys::trackType),
              (QStringList{QStringLiteral("Metadata"), QStringLiteral("Video"),
                           QStringLiteral("Audio"), QStringLiteral("Audio")}));
    const QVariantMap& metadata = tracks.content().first();
    EXPECT_EQ(metadata.value(keys::trackNumber).toString(), QStringLiteral("-"));
    EXPECT_EQ(metadata.value(keys::trackCodec).toString(), QStringLiteral("text"));
    EXPECT_EQ(metadata.value(keys::trackLanguage).toString(), QString());
    EXPECT_FALSE(harness.window.posterView()->image().isNull());
}

TEST(SelectionDisplay, DetailsFollowTheTracksSelection)
{
    WindowHarness harness;
    harness.delegate.openURLs({fileUrl(testMedia().twoAudio)});
    harness.waitUntilIdle();
    ArrayController& tracks = *harness.window.tracksArrayController();
    ArrayController& details = *harness.window.trackDetailsArrayController();

    // A new file selects its metadata row, so the details are the container's.
    EXPECT_EQ(tracks.selectionIndexes(), QList<int>{0});
    const auto metadataRows = tracks.content().at(0).value(keys::trackKeyValue);
    EXPECT_EQ(details.content(), metadataRows.value<QList<QVariantMap>>());
    EXPECT_TRUE(WindowHarness::column(details, keys::value).contains(QStringLiteral("Two voices")));

    // Selecting a track in the table shows that track's rows.
    harness.window.tracksView()->selectRow(3);
    harness.waitUntilIdle();
    const auto secondAudio = tracks.content().at(3).value(keys::trackKeyValue);
    EXPECT_FALSE(secondAudio.value<QList<QVariantMap>>().isEmpty());
    EXPECT_EQ(details.content(), secondAudio.value<QList<QVariantMap>>());
    EXPECT_NE(details.content(), metadataRows.value<QList<QVariantMap>>());

    // Showing another file replaces the tracks and brings back its container rows.
    harness.delegate.openURLs({fileUrl(testMedia().audioOnly)});
    harness.waitUntilIdle();
    EXPECT_EQ(details.content(),
              tracks.content().at(0).value(keys::trackKeyValue).value<QList<QVariantMap>>());
}

TEST(SelectionDisplay, SelectingTwoEntriesShowsTheFirstInListOrder)
{
    WindowHarness harness;
    harness.delegate.openURLs({fileUrl(testMedia().audioOnly), fileUrl(testMedia().twoAudio)});
    harness.waitUntilIdle();
    ASSERT_EQ(harness.window.filePathLabel()->text(), QStringLiteral("File Name: two-audio.mkv"));
    ArrayController& files = *harness.window.fileListArrayController();
    files.selectionModel()->select(files.model()->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    harness.waitUntilIdle();
    EXPECT_EQ(harness.window.filePathLabel()->text(), QStringLiteral("File Name: audio-only.m4a"));
}

TEST(FileList, OpenRequestsAddEveryFileInOrderUnfiltered)
{
    WindowHarness harness(ProbeOptions{"/nonexistent/sniffer", {}, {}});
    const QUrl text = QUrl::fromLocalFile(QStringLiteral("/etc/hostname"));
    const QUrl missing = QUrl::fromLocalFile(QStringLiteral("/nonexistent/clip.mkv"));
    harness.delegate.openURLs({text, missing});
    harness.waitUntilIdle();
    harness.delegate.openURLs({text});
    harness.waitUntilIdle();
    EXPECT_EQ(fileNames(harness),
              (QStringList{QStringLiteral("hostname"), QStringLiteral("clip.mkv"),
                           QStringLiteral("hostname")}));
    EXPECT_EQ(harness.window.fileListArrayController()->selectionIndexes(), QList<int>{2});
    // A file the tool cannot read still shows, with the placeholders.
    EXPECT_EQ(overviewValue(harness, QStringLiteral("Bit rate: ")).text, QStringLiteral("0kbps"));
    EXPECT_EQ(harness.window.tracksArrayController()->content().size(), 1);
}

TEST(FileList, RemovingTheDisplayedOnlyEntryClearsTheDisplay)
{
    WindowHarness harness;
    harness.delegate.openURLs({fileUrl(testMedia().twoAudio)});
    harness.waitUntilIdle();
    ASSERT_TRUE(harness.delegate.hasDisplayedFile());

    harness.window.removeAction()->trigger();
    harness.waitUntilIdle();
    EXPECT_TRUE(harness.window.fileListArrayController()->content().isEmpty());
    EXPECT_FALSE(harness.delegate.hasDisplayedFile());
    EXPECT_FALSE(harness.window.filePathLabel()->text().contains(QStringLiteral("two-audio")));
    EXPECT_TRUE(harness.window.tracksArrayController()->content().isEmpty());
    EXPECT_TRUE(harness.window.trackDetailsArrayController()->content().isEmpty());
    EXPECT_TRUE(harness.window.overviewArrayController()->content().isEmpty());
    EXPECT_TRUE(harness.window.posterView()->image().isNull());
    EXPECT_FALSE(harness.window.removeAction()->isEnabled());
    EXPECT_FALSE(harness.window.saveAction()->isEnabled());
}

TEST(FileList, RemovingShowsTheEntryThatTakesItsPlace)
{
    WindowHarness harness;
    harness.delegate.openURLs({fileUrl(testMedia().audioOnly), fileUrl(testMedia().twoAudio),
                               fileUrl(testMedia().audioOnly)});
    harness.waitUntilIdle();
    harness.window.fileListArrayController()->setSelectionIndex(1);
    harness.waitUntilIdle();
    harness.delegate.removeMediaBTNClicked();
    harness.waitUntilIdle();
    EXPECT_EQ(fileNames(harness),
              (QStringList{QStringLiteral("audio-only.m4a"), QStringLiteral("audio-only.m4a")}));
    EXPECT_EQ(harness.window.fileListArrayController()->selectionIndexes(), QList<int>{1});
    EXPECT_EQ(harness.window.filePathLabel()->text(), QStringLiteral("File Name: audio-only.m4a"));
    EXPECT_EQ(harness.window.tracksArrayController()->content().size(), 2);
}

// Opens the file list's context menu over `point` (viewport coordinates) and chooses
// "Show in File Manager" in it.
void revealFromContextMenu(MainWindow& window, QPoint point)
{
    bool chosen = false;
    QTimer::singleShot(0, [&chosen] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions()) {
            if (action->text() == QStringLiteral("Show in File Manager")) {
                menu->setActiveAction(action);
                QTest::keyClick(menu, Qt::Key_Return);
                chosen = true;
            }
        }
        if (!chosen)
            menu->close();
    });
    QWidget* viewport = window.fileListView()->viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, point, viewport->mapToGlobal(point));
    QCoreApplication::sendEvent(viewport, &event);
    EXPECT_TRUE(chosen);
}

TEST(FileList, RevealActsOnTheClickedRowNotTheSelection)
{
    TempDir folder;
    writeFile(folder / "first.mkv", "1");
    writeFile(folder / "second.mkv", "2");
    WindowHarness harness(ProbeOptions{"/nonexistent/sniffer", {}, {}});
    harness.window.resize(1000, 700);
    harness.window.show();
    harness.delegate.openURLs({fileUrl(folder / "first.mkv"), fileUrl(folder / "second.mkv")});
    harness.waitUntilIdle();
    ASSERT_EQ(harness.window.fileListArrayController()->selectionIndexes(), QList<int>{1});

    ScrollDropView* list = harness.window.fileListView();
    revealFromContextMenu(harness.window, list->visualRect(list->model()->index(0, 0)).center());
    EXPECT_EQ(harness.desktop.revealed,
              QStringList{QString::fromStdString((folder / "first.mkv").string())});

    // Below the last row there is no clicked row: nothing is revealed.
    revealFromContextMenu(harness.window, QPoint(10, list->viewport()->height() - 5));
    EXPECT_EQ(harness.desktop.revealed.size(), 1);
    EXPECT_EQ(list->clickedRow(), -1);
}

TEST(TrackDetails, CopyGivesKeyTabValueLinesOfTheSelectedRows)
{
    WindowHarness harness;
    harness.window.show();
    harness.delegate.openURLs({fileUrl(testMedia().twoAudio)});
    harness.waitUntilIdle();
    harness.window.tracksView()->selectRow(2);
    harness.waitUntilIdle();
    ArrayController& details = *harness.window.trackDetailsArrayController();
    ASSERT_GE(details.content().size(), 3);
    const auto line = [&details](int row) -> QString {
        return details.content().at(row).value(keys::key).toString() + u'\t' +
               details.content().at(row).value(keys::value).toString();
    };
    QItemSelectionModel* selection = details.selectionModel();
    const auto flags = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    selection->select(details.model()->index(2, 0), flags);
    selection->select(details.model()->index(0, 0), flags);

    QGuiApplication::clipboard()->clear();
    harness.window.copyDetailsAction()->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), line(0) + u'\n' + line(2));

    QGuiApplication::clipboard()->clear();
    QTest::keyClick(harness.window.trackDetailsView(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), line(0) + u'\n' + line(2));
}

TEST(FileList, OpenDialogAddsTheChosenFilesInItsOrder)
{
    TempDir folder;
    for (const char* name : {"a.mkv", "b.mkv", "c.mkv"})
        writeFile(folder / name, name);
    WindowHarness harness(ProbeOptions{"/nonexistent/sniffer", {}, {}});
    harness.window.show();
    harness.delegate.openURLs({QUrl::fromLocalFile(QStringLiteral("/etc/hostname"))});
    harness.waitUntilIdle();

    harness.window.openAction()->trigger();
    auto* dialog = harness.window.findChild<QFileDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    dialog->setDirectory(QString::fromStdString(folder.path().string()));
    auto* nameEdit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(nameEdit, nullptr);
    nameEdit->setText(QStringLiteral("\"c.mkv\" \"a.mkv\" \"b.mkv\""));
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog hides accept()
    EXPECT_EQ(fileNames(harness), (QStringList{QStringLiteral("hostname"), QStringLiteral("c.mkv"),
                                               QStringLiteral("a.mkv"), QStringLiteral("b.mkv")}));

    harness.window.openAction()->trigger();
    dialog = harness.window.findChild<QFileDialog*>();
    ASSERT_NE(dialog, nullptr);
    dialog->reject();
    EXPECT_EQ(fileNames(harness).size(), 4);
}

TEST(FileList, AddingAThousandFilesProbesOnce)
{
    TempDir folder;
    const auto runs = folder / "runs";
    writeScript(folder / "sniffer", "echo run >> '" + runs.string() + "'\nprintf '{}'");
    WindowHarness harness(ProbeOptions{(folder / "sniffer").string(), std::chrono::seconds(10), {}},
                          /*withModelTesters=*/false);
    harness.window.resize(1280, 800);
    harness.window.show();
    QList<QUrl> urls;
    for (int i = 0; i < 1000; ++i) {
        const auto file = folder / ("clip-" + std::to_string(i) + ".mkv");
        writeFile(file, "x");
        urls.append(fileUrl(file));
    }

    QElapsedTimer timer;
    timer.start();
    harness.delegate.openURLs(urls);
    harness.waitUntilIdle();
    QCoreApplication::processEvents();
    const qint64 elapsed = timer.elapsed();
    std::cout << "[ measure  ] adding 1000 files took " << elapsed << " ms\n";
    RecordProperty("add_1000_files_ms", static_cast<int>(elapsed));

    EXPECT_EQ(readFile(runs), "run\n");
    EXPECT_EQ(harness.window.fileListArrayController()->content().size(), 1000);
    EXPECT_EQ(harness.window.filePathLabel()->text(), QStringLiteral("File Name: clip-999.mkv"));
}

}  // namespace
}  // namespace vellinor::test
