// Open Folder and dropped folders add the media files under them, sorted, and say what was
// skipped.

#include <QAction>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

#include "app/widgets/array_controller.h"
#include "app/widgets/drop_view.h"
#include "app/window/folder_intake.h"
#include "app/window/table_rows.h"
#include "app_test_support.h"
#include "scripted_dialog_runner.h"

namespace vellinor::test {
namespace {

namespace fs = std::filesystem;

QStringList listedPaths(const WindowHarness& harness)
{
    QStringList paths;
    for (const QVariantMap& entry : harness.window.fileListArrayController()->content())
        paths.append(entry.value(keys::fileURL).toUrl().toLocalFile());
    return paths;
}

void waitForIntake(const FolderIntake& intake)
{
    QCoreApplication::processEvents();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !intake.isWalking(); }, 30'000));
    QCoreApplication::processEvents();
}

TEST(FolderIntake, AddsTheMediaFilesUnderAFolderSortedFromTheMenuAndFromADrop)
{
    TempDir root;
    for (const char* name : {"season 2/e02.mkv", "season 2/e01.mkv", "extras/notes.txt",
                             "extras/poster.jpg", "trailer.MP4"})
        writeFile(root / name, "not really media");
    const QString at = QString::fromStdString(root.path().string()) + u'/';
    const QStringList expected{at + QStringLiteral("season 2/e01.mkv"),
                               at + QStringLiteral("season 2/e02.mkv"),
                               at + QStringLiteral("trailer.MP4")};
    const QString status = QStringLiteral("Added 3 media files from ") +
                           QString::fromStdString(root.path().filename().string()) +
                           QStringLiteral("; 2 other files skipped.");

    struct Case {
        const char* name;
        std::function<void(WindowHarness&, ScriptedDialogRunner&)> add;
    };
    const Case cases[] = {
        {"Open Folder",
         [&](WindowHarness& harness, ScriptedDialogRunner& dialogs) {
             dialogs.folderPath = QString::fromStdString(root.path().string());
             QAction* open = harness.window.findChild<QAction*>(QStringLiteral("openFolderAction"));
             ASSERT_NE(open, nullptr);
             EXPECT_EQ(open->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+O")));
             open->trigger();
         }},
        {"a dropped folder",
         [&](WindowHarness& harness, ScriptedDialogRunner&) {
             QMimeData data;
             data.setUrls({fileUrl(root.path())});
             QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton,
                                   Qt::NoModifier);
             QCoreApplication::sendEvent(harness.window.dropView(), &enter);
             QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
             QCoreApplication::sendEvent(harness.window.dropView(), &drop);
             EXPECT_TRUE(drop.isAccepted());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WindowHarness harness(ProbeOptions{"/nonexistent/sniffer", {}, {}});
        ScriptedDialogRunner dialogs;
        harness.delegate.setDialogRunner(dialogs);
        auto* intake = harness.window.findChild<FolderIntake*>();
        ASSERT_NE(intake, nullptr);
        c.add(harness, dialogs);
        waitForIntake(*intake);
        harness.waitUntilIdle();
        EXPECT_EQ(listedPaths(harness), expected);
        EXPECT_EQ(intake->lastStatus(), status);
    }
}

TEST(FolderIntake, AFolderWithoutMediaAddsNothingAndSaysSo)
{
    TempDir root;
    writeFile(root / "readme.txt", "x");
    WindowHarness harness(ProbeOptions{"/nonexistent/sniffer", {}, {}});
    auto* intake = harness.window.findChild<FolderIntake*>();
    ASSERT_NE(intake, nullptr);
    intake->addFolders({QString::fromStdString(root.path().string()),
                        QString::fromStdString((root / "missing").string())});
    waitForIntake(*intake);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return intake->lastStatus().startsWith(QStringLiteral("No media files in missing"));
        },
        10'000));
    EXPECT_TRUE(listedPaths(harness).isEmpty());
    EXPECT_TRUE(intake->lastStatus().startsWith(
        QStringLiteral("No media files in missing; could not read ")))
        << intake->lastStatus().toStdString();
}

}  // namespace
}  // namespace vellinor::test
