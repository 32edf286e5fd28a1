#include <functional>
#include <memory>

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

#include <gtest/gtest.h>

#include "app/widgets/array_controller.h"
#include "app/widgets/drop_view.h"
#include "app/widgets/image_drop_view.h"
#include "app/widgets/notification_center.h"
#include "app/widgets/scroll_drop_view.h"
#include "app/window/table_rows.h"
#include "app_test_support.h"

namespace vellinor::test {
namespace {

// Records every "FilesAddedByDragAndDrop" while it lives.
class DropRecorder {
public:
    DropRecorder()
    {
        NotificationCenter::defaultCenter().addObserver(
            &m_observer, filesAddedByDragAndDropNotification, [this](const Notification& n) {
                posts.append(n.userInfo.value(filesAddedByDragAndDropKey).value<QList<QUrl>>());
            });
    }
    QList<QList<QUrl>> posts;

private:
    QObject m_observer;
};

std::unique_ptr<QMimeData> urlData(const QList<QUrl>& urls)
{
    auto data = std::make_unique<QMimeData>();
    data->setUrls(urls);
    return data;
}

// Drags `data` onto `target` and drops it there; returns whether the drop was accepted.
bool drop(QWidget* target, const QMimeData* data)
{
    const auto actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    // The application delivers a drop to the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(5, 5), actions, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent event(QPointF(5, 5), actions, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
    return event.isAccepted();
}

struct DropTarget {
    const char* name;
    std::function<QWidget*(MainWindow&)> widget;
};

const DropTarget dropTargets[] = {
    {"the window's central view", [](MainWindow& w) -> QWidget* { return w.dropView(); }},
    {"the poster", [](MainWindow& w) -> QWidget* { return w.posterView(); }},
    {"the file list", [](MainWindow& w) -> QWidget* { return w.fileListView()->viewport(); }},
    {"the tracks table", [](MainWindow& w) -> QWidget* { return w.tracksView()->viewport(); }},
};

TEST(DropViews, EveryTargetAddsTheDroppedFilesInOrderWithoutFolders)
{
    TempDir folder;
    writeFile(folder / "b.mkv", "b");
    writeFile(folder / "a.mp4", "a");
    std::filesystem::create_directories(folder / "sub");
    for (const DropTarget& target : dropTargets) {
        SCOPED_TRACE(target.name);
        WindowHarness harness(ProbeOptions{"/nonexistent/sniffer", {}, {}});
        const auto data = urlData(
            {fileUrl(folder / "b.mkv"), fileUrl(folder / "sub"), fileUrl(folder / "a.mp4")});
        EXPECT_TRUE(drop(target.widget(harness.window), data.get()));
        harness.waitUntilIdle();
        EXPECT_EQ(WindowHarness::column(*harness.window.fileListArrayController(), keys::fileName),
                  (QStringList{QStringLiteral("b.mkv"), QStringLiteral("a.mp4")}));
        EXPECT_EQ(harness.window.filePathLabel()->text(), QStringLiteral("File Name: a.mp4"));
    }
}

TEST(DropViews, AnnounceFoldersAsAnEmptyListAndRefuseDropsWithoutLocalFiles)
{
    TempDir folder;
    writeFile(folder / "clip.mkv", "x");
    struct Case {
        const char* name;
        QList<QUrl> urls;
        bool accepted;
        QList<QList<QUrl>> posts;
    };
    const QUrl web(QStringLiteral("https://example.org/clip.mkv"));
    const QUrl missing = fileUrl(folder / "missing.mkv");
    const Case cases[] = {
        {"only a folder", {fileUrl(folder.path())}, true, {{}}},
        {"a file that does not exist", {missing}, true, {{}}},
        {"a web link", {web}, false, {}},
        {"a web link beside a file",
         {web, fileUrl(folder / "clip.mkv")},
         true,
         {{fileUrl(folder / "clip.mkv")}}},
        {"the same file twice",
         {fileUrl(folder / "clip.mkv"), fileUrl(folder / "clip.mkv")},
         true,
         {{fileUrl(folder / "clip.mkv"), fileUrl(folder / "clip.mkv")}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DropView view;
        DropRecorder recorder;
        const auto data = urlData(c.urls);
        EXPECT_EQ(drop(&view, data.get()), c.accepted);
        EXPECT_EQ(recorder.posts, c.posts);
    }

    DropView view;
    DropRecorder recorder;
    QMimeData text;
    text.setText(QStringLiteral("/etc/hostname"));
    EXPECT_FALSE(drop(&view, &text));
    EXPECT_TRUE(recorder.posts.isEmpty());
}

TEST(DropViews, OfferCopyToEveryDragThatEnters)
{
    DropView plain;
    ImageDropView image;
    ScrollDropView table;
    const auto web = urlData({QUrl(QStringLiteral("https://example.org/"))});
    for (QWidget* target :
         {static_cast<QWidget*>(&plain), static_cast<QWidget*>(&image), table.viewport()}) {
        QDragEnterEvent event(QPoint(1, 1), Qt::CopyAction | Qt::LinkAction, web.get(),
                              Qt::LeftButton, Qt::NoModifier);
        event.ignore();
        QCoreApplication::sendEvent(target, &event);
        EXPECT_TRUE(event.isAccepted());
        EXPECT_EQ(event.dropAction(), Qt::CopyAction);
    }
}

TEST(DropViews, AnnouncementWithoutAListOfUrlsAddsNothing)
{
    WindowHarness harness;
    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.post(filesAddedByDragAndDropNotification);
    center.post(filesAddedByDragAndDropNotification, nullptr,
                {{filesAddedByDragAndDropKey, QStringList{QStringLiteral("/tmp/x.mkv")}}});
    center.post(filesAddedByDragAndDropNotification, nullptr,
                {{QStringLiteral("files"), QVariant::fromValue(QList<QUrl>{QUrl()})}});
    EXPECT_TRUE(harness.window.fileListArrayController()->content().isEmpty());
}

}  // namespace
}  // namespace vellinor::test
