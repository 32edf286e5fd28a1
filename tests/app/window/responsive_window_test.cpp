// The window stays responsive while probing, shows only the latest selection, says why a file
// shows nothing, and answers the keyboard.

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/widgets/array_controller.h"
#include "app/widgets/scroll_drop_view.h"
#include "app/window/table_rows.h"
#include "app/window/window_commands.h"
#include "app_test_support.h"

namespace vellinor::test {
namespace {

namespace fs = std::filesystem;

// A fake tool that sleeps `seconds` before printing the document of one audio stream.
ProbeOptions slowTool(const TempDir& folder, const std::string& seconds)
{
    writeScript(folder / "sniffer",
                "sleep " + seconds +
                    "\nprintf '{\"streams\": [{\"codec_type\": \"audio\", \"codec_name\": "
                    "\"aac\"}], \"format\": {\"duration\": \"1.0\"}}'\n");
    ProbeOptions options;
    options.toolPath = (folder / "sniffer").string();
    options.timeout = std::chrono::seconds(30);
    return options;
}

QLabel* verdictLine(const WindowHarness& harness)
{
    return harness.window.commands()->verdictLabel();
}

TEST(ResponsiveWindow, ASlowToolDoesNotBlockTheEventLoop)
{
    TempDir folder;
    writeFile(folder / "clip.mkv", "x");
    WindowHarness harness(slowTool(folder, "1.5"));
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(20);

    QElapsedTimer clock;
    clock.start();
    harness.delegate.openURLs({fileUrl(folder / "clip.mkv")});
    EXPECT_LT(clock.elapsed(), 500) << "the selection waited for the tool";
    // Busy shows after a short while, with the file asked for and nothing else.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return verdictLine(harness)->isVisible() || !verdictLine(harness)->text().isEmpty();
        },
        1000));
    // The file's size joins the line once the worker has read it.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return verdictLine(harness)->text() ==
                   QStringLiteral("Reading this file (1 byte)\u2026");
        },
        1000))
        << verdictLine(harness)->text().toStdString();
    EXPECT_EQ(harness.window.filePathLabel()->text(), QStringLiteral("File Name: clip.mkv"));
    EXPECT_TRUE(harness.window.tracksArrayController()->content().isEmpty());

    harness.waitUntilIdle();
    EXPECT_GE(ticks, 40) << "the timer kept firing while the tool ran";
    EXPECT_EQ(harness.window.tracksArrayController()->content().size(), 2);
    EXPECT_TRUE(verdictLine(harness)->text().isEmpty());
}

TEST(ResponsiveWindow, AStaleResultIsDropped)
{
    TempDir slowFolder;
    writeFile(slowFolder / "slow.mkv", "x");
    WindowHarness harness(slowTool(slowFolder, "1"));
    const TestMedia& media = testMedia();
    harness.delegate.openURLs({fileUrl(slowFolder / "slow.mkv")});
    // A newer selection, answered by the real tool long before the slow one.
    harness.delegate.setProbeOptions({});
    harness.delegate.openURLs({fileUrl(media.twoAudio)});
    harness.waitUntilIdle();
    EXPECT_EQ(harness.window.filePathLabel()->text(), QStringLiteral("File Name: two-audio.mkv"));
    EXPECT_EQ(WindowHarness::column(*harness.window.tracksArrayController(), keys::trackType),
              (QStringList{QStringLiteral("Metadata"), QStringLiteral("Video"),
                           QStringLiteral("Audio"), QStringLiteral("Audio")}));
}

TEST(ResponsiveWindow, TheVerdictLineSaysWhyAFileShowsNothing)
{
    TempDir folder;
    writeFile(folder / "empty.mkv", "");
    writeFile(folder / "garbage.mkv", std::string(4096, '\x01'));
    writeScript(folder / "hangs", "exec sleep 30\n");
    struct Case {
        std::string file;
        bool hangingTool;
        QString line;
    };
    const std::vector<Case> cases{
        {"garbage.mkv", false,
         QStringLiteral("Could not read this file: Invalid data found when processing input")},
        {"empty.mkv", false, QStringLiteral("This file is empty.")},
        {"gone.mkv", false, QStringLiteral("Could not open this file: no such file")},
        {"garbage.mkv", true, QStringLiteral("The probe tool timed out after 1 s.")},
        {"two-audio.mkv", false, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ProbeOptions options;
        if (c.hangingTool) {
            options.toolPath = (folder / "hangs").string();
            options.timeout = std::chrono::seconds(1);
        }
        WindowHarness harness(options);
        const fs::path path =
            c.file == "two-audio.mkv" ? testMedia().twoAudio : folder.path() / c.file;
        harness.delegate.openURLs({fileUrl(path)});
        harness.waitUntilIdle();
        EXPECT_EQ(verdictLine(harness)->text(), c.line);
        EXPECT_EQ(verdictLine(harness)->isVisibleTo(&harness.window), !c.line.isEmpty());
    }
}

TEST(ResponsiveWindow, KeyboardPaths)
{
    WindowHarness harness;
    harness.window.show();
    QApplication::setActiveWindow(&harness.window);
    harness.delegate.openURLs({fileUrl(testMedia().audioOnly), fileUrl(testMedia().twoAudio)});
    harness.waitUntilIdle();
    ScrollDropView* files = harness.window.fileListView();
    ScrollDropView* tracks = harness.window.tracksView();
    ScrollDropView* details = harness.window.trackDetailsView();

    // Tab goes from table to table, not from row to row.
    files->setFocus();
    QTest::keyClick(files, Qt::Key_Tab);
    EXPECT_TRUE(tracks->hasFocus());
    QTest::keyClick(tracks, Qt::Key_Tab);
    EXPECT_TRUE(details->hasFocus());
    EXPECT_EQ(harness.window.fileListArrayController()->selectionIndexes(), QList<int>{1});

    // Ctrl+C in the tracks table copies the whole row.
    harness.window.tracksArrayController()->setSelectionIndex(2);
    tracks->setFocus();
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(tracks, Qt::Key_C, Qt::ControlModifier);
    const QVariantMap row = harness.window.tracksArrayController()->content().at(2);
    EXPECT_EQ(
        QGuiApplication::clipboard()->text(),
        QStringList(
            {row.value(keys::trackNumber).toString(), row.value(keys::trackType).toString(),
             row.value(keys::trackCodec).toString(), row.value(keys::trackLanguage).toString(),
             row.value(keys::trackDurationHuman).toString(),
             row.value(keys::trackExtraInfo).toString(), row.value(keys::trackSummary).toString()})
            .join(u'\t'));

    // Ctrl+Shift+C copies the text report, details included.
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&harness.window, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    const QString report = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(report.startsWith(QStringLiteral("File Name: two-audio.mkv\n\n")))
        << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("Two voices")));

    // Delete in the file list removes the selected file; the neighbour is shown.
    files->setFocus();
    QTest::keyClick(files, Qt::Key_Delete);
    harness.waitUntilIdle();
    EXPECT_EQ(harness.window.fileListArrayController()->content().size(), 1);
    EXPECT_EQ(harness.window.filePathLabel()->text(), QStringLiteral("File Name: audio-only.m4a"));
    QTest::keyClick(files, Qt::Key_Delete);
    harness.waitUntilIdle();
    EXPECT_FALSE(harness.delegate.hasDisplayedFile());
    EXPECT_FALSE(harness.window.saveAction()->isEnabled());
    EXPECT_FALSE(harness.window.commands()->copyReportAction()->isEnabled());

    EXPECT_EQ(harness.window.openAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(harness.window.saveAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    EXPECT_EQ(harness.window.helpAction()->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(harness.window.commands()->quitAction()->shortcut(),
              QKeySequence(QStringLiteral("Ctrl+Q")));
    // Every command is reachable from the menu bar too, Help last.
    QStringList menus;
    for (QAction* menu : harness.window.menuBar()->actions()) {
        QStringList items;
        for (QAction* item : menu->menu()->actions()) {
            if (!item->isSeparator())
                items << item->text();
        }
        menus << menu->text() + u':' + items.join(u',');
    }
    EXPECT_EQ(menus.join(u'|'),
              QStringLiteral("&File:Open,Open &Folder\u2026,Save,Remove,Quit|&Edit:Copy Report|"
                             "&View:Report as &Text,&Sheet of All Files|&Inspect:Compare,"
                             "Bitrate,Scan,Pictures and Attachments...,Check Against &Policy\u2026,"
                             "&Recent Policies,C&lear Policy|&Help:Help,&Keyboard Shortcuts,"
                             "&About Vellinor"))
        << menus.join(u'|').toStdString();

    QTest::keyClick(&harness.window, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(harness.window.isVisible());
}

TEST(ResponsiveWindow, DetailsSortWithoutRegardToCaseAndSameNamesShowTheirPaths)
{
    const KeyValueRows rows{
        {"ARTIST", "a"}, {"BPS", "1"}, {"artist", "b"}, {"bit_rate", "2"}, {"codec_name", "aac"}};
    std::vector<std::string> keys;
    for (const KeyValueRow& row : detailsDisplayOrder(rows))
        keys.push_back(row.key);
    EXPECT_EQ(keys,
              (std::vector<std::string>{"ARTIST", "artist", "bit_rate", "BPS", "codec_name"}));

    TempDir one;
    TempDir two;
    writeFile(one / "clip.mkv", "1");
    writeFile(two / "clip.mkv", "2");
    WindowHarness harness(ProbeOptions{"/nonexistent/sniffer", {}, {}});
    harness.delegate.openURLs({fileUrl(one / "clip.mkv"), fileUrl(two / "clip.mkv")});
    harness.waitUntilIdle();
    DictionaryTableModel* list = harness.window.fileListArrayController()->model();
    EXPECT_EQ(list->data(list->index(0, 0), Qt::ToolTipRole).toString(),
              QString::fromStdString((one / "clip.mkv").string()));
    EXPECT_EQ(list->data(list->index(1, 0), Qt::ToolTipRole).toString(),
              QString::fromStdString((two / "clip.mkv").string()));
}

}  // namespace
}  // namespace vellinor::test
