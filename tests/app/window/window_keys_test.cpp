// The keys every table and window answers: Home/End in each of the window's tables, Escape and
// Ctrl+W closing Compare and Bitrate, and a mnemonic on every button of every dialog.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include "app/attachments/attachments_dialog.h"
#include "app/bitrate/bitrate_window.h"
#include "app/compare/comparison_window.h"
#include "app/sheet/sheet_window.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/scroll_drop_view.h"
#include "app/window/view_actions.h"
#include "app_test_support.h"
#include "scripted_dialog_runner.h"

namespace vellinor::test {
namespace {

QStringList pathsOf(std::initializer_list<std::filesystem::path> files)
{
    QStringList paths;
    for (const auto& file : files)
        paths.append(QString::fromStdString(file.string()));
    return paths;
}

TEST(WindowKeys, HomeAndEndReachBothEndsOfEveryTable)
{
    WindowHarness harness;
    const TestMedia& media = testMedia();
    harness.delegate.openURLs({fileUrl(media.audioOnly), fileUrl(media.twoAudio)});
    harness.waitUntilIdle();
    harness.window.tracksView()->setCurrentIndex(
        harness.window.tracksArrayController()->model()->index(1, 0));

    auto* views = harness.window.findChild<ViewActions*>();
    ASSERT_NE(views, nullptr);
    views->sheetAction()->trigger();
    SheetWindow* sheet = views->sheetWindow();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([sheet] { return sheet->isComplete(); }, 60'000));

    ComparisonWindow compare(pathsOf({media.audioOnly, media.twoAudio}), {});
    ASSERT_TRUE(QTest::qWaitFor([&compare] { return compare.isComplete(); }, 60'000));

    const std::pair<const char*, QTableView*> tables[] = {
        {"file list", harness.window.fileListView()},
        {"tracks", harness.window.tracksView()},
        {"details", harness.window.trackDetailsView()},
        {"sheet", sheet->tableView()},
        {"compare", compare.tableView()},
    };
    for (const auto& [name, table] : tables) {
        const int rows = table->model()->rowCount();
        ASSERT_GE(rows, 2) << name;
        table->setFocus();
        table->selectionModel()->setCurrentIndex(
            table->model()->index(0, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        const std::pair<QKeyCombination, int> presses[] = {
            {Qt::Key_End, rows - 1},
            {Qt::Key_Home, 0},
            {Qt::CTRL | Qt::Key_End, rows - 1},
            {Qt::CTRL | Qt::Key_Home, 0},
        };
        for (const auto& [press, row] : presses) {
            const QString key = QKeySequence(press).toString();
            QTest::keyClick(table, press.key(), press.keyboardModifiers());
            EXPECT_EQ(table->currentIndex().row(), row) << name << ": " << key.toStdString();
            EXPECT_TRUE(table->selectionModel()->isRowSelected(row, {}))
                << name << ": " << key.toStdString();
        }
    }
}

TEST(WindowKeys, EscapeAndCtrlWCloseCompareAndBitrate)
{
    const TestMedia& media = testMedia();
    struct Case {
        const char* name;
        std::function<QWidget*()> open;
        QKeySequence key;
    };
    const auto compare = [&media] {
        return new ComparisonWindow(pathsOf({media.audioOnly, media.twoAudio}), {});
    };
    const auto bitrate = [&media] {
        return new BitrateWindow(QString::fromStdString(media.audioOnly.string()));
    };
    const Case cases[] = {
        {"Compare, Escape", compare, QKeySequence(Qt::Key_Escape)},
        {"Compare, Ctrl+W", compare, QKeySequence(Qt::CTRL | Qt::Key_W)},
        {"Bitrate, Escape", bitrate, QKeySequence(Qt::Key_Escape)},
        {"Bitrate, Ctrl+W", bitrate, QKeySequence(Qt::CTRL | Qt::Key_W)},
    };
    for (const Case& c : cases) {
        QPointer<QWidget> window = c.open();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window)) << c.name;
        QTest::keySequence(window.data(), c.key);
        // Closing deletes the window (and ends its reads).
        EXPECT_TRUE(QTest::qWaitFor([&window] { return window.isNull(); }, 5000)) << c.name;
        delete window.data();
    }
}

// Every button in `widget` has a mnemonic, and no two share a letter.
void expectMnemonics(const QWidget& widget, const char* name)
{
    QStringList letters;
    for (const QAbstractButton* button : widget.findChildren<QAbstractButton*>()) {
        const QString text = button->text();
        if (text.isEmpty() || !button->isVisibleTo(&widget))
            continue;  // icon-only tool buttons (a line edit's clear button)
        const qsizetype amp = text.indexOf(u'&');
        ASSERT_TRUE(amp >= 0 && amp + 1 < text.size()) << name << ": " << text.toStdString();
        const QString letter = text.mid(amp + 1, 1).toLower();
        EXPECT_FALSE(letters.contains(letter)) << name << ": " << text.toStdString();
        letters.append(letter);
    }
}

TEST(WindowKeys, EveryDialogButtonHasAMnemonic)
{
    WindowHarness harness;
    harness.window.show();
    const TestMedia& media = testMedia();
    ScriptedDialogRunner dialogs;
    for (const char* action : {"keyboardShortcutsAction", "aboutAction"}) {
        harness.window.findChild<QAction*>(QString::fromLatin1(action))->trigger();
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            // open() shows it window-modal; the newest child dialog is the one.
            const auto open = harness.window.findChildren<QDialog*>();
            dialog = open.isEmpty() ? nullptr : open.back();
        }
        ASSERT_NE(dialog, nullptr) << action;
        expectMnemonics(*dialog, action);
        dialog->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    AttachmentsDialog attachments(dialogs, &harness.window);
    attachments.show();
    expectMnemonics(attachments, "attachments");
    ComparisonWindow compare(pathsOf({media.audioOnly, media.twoAudio}), {});
    compare.show();
    expectMnemonics(compare, "compare");
    BitrateWindow bitrate(QString::fromStdString(media.audioOnly.string()));
    bitrate.show();
    expectMnemonics(bitrate, "bitrate, reading");
    ASSERT_TRUE(QTest::qWaitFor([&bitrate] { return !bitrate.isReading(); }, 60'000));
    expectMnemonics(bitrate, "bitrate, read");
    ASSERT_TRUE(QTest::qWaitFor([&compare] { return compare.isComplete(); }, 60'000));
}

}  // namespace
}  // namespace vellinor::test
