#pragma once

// The window's commands for embedded pictures and attachments: the poster's context menu
// ("Save Artwork As...", "Pictures and Attachments..."), dragging the poster out as a file, and
// "Pictures and Attachments..." in the file list's context menu. Installed on a main window by
// MainWindow::connectOutlets; acts on the file the file list has selected.

#include <optional>

#include <QFutureWatcher>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include "app/attachments/attachments_dialog.h"
#include "app/attachments/poster_image.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/image_drop_view.h"
#include "app/widgets/scroll_drop_view.h"

class QAction;
class QMenu;

namespace vellinor {

class AppDelegate;
class ArrayController;
class ImageDropView;
class ScrollDropView;
class MainWindow;

class ArtworkActions final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ArtworkActions)

public:
    ArtworkActions(MainWindow& window, AppDelegate& delegate);

    [[nodiscard]] QAction* saveArtworkAction() const { return m_saveArtwork; }
    [[nodiscard]] QAction* showAttachmentsAction() const { return m_showAttachments; }
    // The list window, once it has been opened.
    [[nodiscard]] AttachmentsDialog* attachmentsDialog() const { return m_dialog; }

    // The poster's picture of the selected file, read in the background: `done` runs with it
    // (none when the poster is the placeholder) once it is known.
    void withPosterPicture(std::function<void(const std::optional<PosterPicture>&)> done);

    // Asks where to save the poster's picture, its bytes as stored.
    void saveArtwork();
    // Opens the list window for the selected file (or the file list's clicked row).
    void showAttachments();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct PosterSource {
        QString path;
        std::optional<PosterPicture> picture;
    };

    [[nodiscard]] QString selectedPath() const;
    void showPosterMenu(const QPoint& position);
    void startPosterRead();
    void posterReadFinished();
    void dragPoster();

    MainWindow& m_window;
    AppDelegate& m_delegate;
    QPointer<ImageDropView> m_posterView;
    const QObject* m_posterObject = nullptr;  // the same, for comparing only, never downcast
    QPointer<ArrayController> m_fileList;
    QPointer<ScrollDropView> m_fileListView;
    QAction* m_saveArtwork = nullptr;
    QAction* m_showAttachments = nullptr;
    QPointer<AttachmentsDialog> m_dialog;

    std::optional<PosterSource> m_poster;  // the picture of the last file read
    QString m_readingPath;
    QFutureWatcher<std::optional<PosterPicture>> m_posterRead;
    std::vector<std::function<void(const std::optional<PosterPicture>&)>> m_waiting;
    std::optional<QPoint> m_pressedAt;
};

}  // namespace vellinor
