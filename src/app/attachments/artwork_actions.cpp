#include "app/attachments/artwork_actions.h"

#include <utility>

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QtConcurrent/QtConcurrentRun>

#include "app/attachments/attachments_dialog.h"
#include "app/attachments/embedded_file_saving.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/image_drop_view.h"
#include "app/widgets/scroll_drop_view.h"
#include "app/window/app_delegate.h"
#include "app/window/main_window.h"
#include "app/window/table_rows.h"

namespace vellinor {
namespace {

QString localPathOf(const QVariantMap& entry)
{
    const QUrl url = entry.value(keys::fileURL).toUrl();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

ArtworkActions::ArtworkActions(MainWindow& window, AppDelegate& delegate)
    : QObject(&window)
    , m_window(window)
    , m_delegate(delegate)
    , m_posterView(window.posterView())
    , m_posterObject(window.posterView())
    , m_fileList(window.fileListArrayController())
    , m_fileListView(window.fileListView())
{
    m_saveArtwork = new QAction(QStringLiteral("Save Artwork As..."), this);
    m_saveArtwork->setToolTip(QStringLiteral("Save the poster's picture as it is embedded"));
    m_showAttachments = new QAction(QStringLiteral("Pictures and Attachments..."), this);
    m_showAttachments->setToolTip(
        QStringLiteral("List the file's embedded pictures and attachments, to save them"));
    m_showAttachments->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+A")));
    connect(m_saveArtwork, &QAction::triggered, this, &ArtworkActions::saveArtwork);
    connect(m_showAttachments, &QAction::triggered, this, &ArtworkActions::showAttachments);
    m_window.addAction(m_showAttachments);
    window.fileListView()->addAction(m_showAttachments);

    ImageDropView* poster = window.posterView();
    poster->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(poster, &QWidget::customContextMenuRequested, this, &ArtworkActions::showPosterMenu);
    poster->installEventFilter(this);

    connect(&m_posterRead, &QFutureWatcher<std::optional<PosterPicture>>::finished, this,
            &ArtworkActions::posterReadFinished);
    // A new selection may be a file changed on disk since it was last read.
    connect(window.fileListArrayController()->selectionModel(),
            &QItemSelectionModel::selectionChanged, this, [this] {
                m_poster.reset();
                AttachmentsDialog* dialog = m_dialog.data();
                if (dialog != nullptr && dialog->isVisible())
                    dialog->showFile(selectedPath());
            });
}

QString ArtworkActions::selectedPath() const
{
    const ArrayController* files = m_fileList.data();
    if (files == nullptr)
        return {};
    const QList<QVariantMap> selected = files->selectedObjects();
    return selected.isEmpty() ? QString() : localPathOf(selected.first());
}

void ArtworkActions::withPosterPicture(
    std::function<void(const std::optional<PosterPicture>&)> done)
{
    const QString path = selectedPath();
    if (path.isEmpty()) {
        done(std::nullopt);
        return;
    }
    if (m_poster && m_poster->path == path) {
        done(m_poster->picture);
        return;
    }
    m_waiting.push_back(std::move(done));
    if (!m_posterRead.isRunning() || m_readingPath != path)
        startPosterRead();
}

void ArtworkActions::startPosterRead()
{
    m_readingPath = selectedPath();
    m_posterRead.setFuture(
        QtConcurrent::run([path = m_readingPath, runner = m_delegate.probeOptions().toolRunner] {
            return posterPicture(path, runner.get());
        }));
}

void ArtworkActions::posterReadFinished()
{
    m_poster = PosterSource{m_readingPath, m_posterRead.result()};
    auto waiting = std::exchange(m_waiting, {});
    // Asked for another file meanwhile: they get that file's picture.
    for (auto& done : waiting)
        withPosterPicture(std::move(done));
}

void ArtworkActions::showPosterMenu(const QPoint& position)
{
    auto* menu = new QMenu(m_posterView);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(m_saveArtwork);
    menu->addSeparator();
    menu->addAction(m_showAttachments);
    // Enabled once the picture is known, mostly before the menu is even drawn.
    m_saveArtwork->setEnabled(false);
    withPosterPicture([action = QPointer<QAction>(m_saveArtwork)](const auto& picture) {
        if (QAction* shown = action.data())
            shown->setEnabled(picture.has_value());
    });
    menu->popup(m_posterView->mapToGlobal(position));
}

void ArtworkActions::saveArtwork()
{
    const QString path = selectedPath();
    withPosterPicture([this, path](const std::optional<PosterPicture>& picture) {
        if (!picture)
            return;
        saveEmbeddedFile({m_delegate.dialogRunner(), &m_window, this}, picture->file,
                         embeddedFileProposedName(picture->file, path, picture->number));
    });
}

void ArtworkActions::showAttachments()
{
    // From the file list's menu, the row clicked; else the selection.
    QString path = selectedPath();
    const ScrollDropView* view = m_fileListView.data();
    const ArrayController* files = m_fileList.data();
    if (view != nullptr && files != nullptr) {
        const int clicked = view->clickedRow();
        if (clicked >= 0 && clicked < files->arrangedObjects().size())
            path = localPathOf(files->arrangedObjects().at(clicked));
    }

    AttachmentsDialog* dialog = m_dialog.data();
    if (dialog == nullptr) {
        dialog = new AttachmentsDialog(m_delegate.dialogRunner(), &m_window,
                                       m_delegate.probeOptions().toolRunner);
        m_dialog = dialog;
    }
    dialog->showFile(path);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

bool ArtworkActions::eventFilter(QObject* watched, QEvent* event)
{
    // Compared with the pointer kept, never asked of the window nor cast: events still come
    // while the window and the poster are being destroyed.
    if (watched != m_posterObject)
        return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) {
                m_pressedAt = mouse->position().toPoint();
                withPosterPicture([](const auto&) {});  // read ahead of the drag
            }
            break;
        }
        case QEvent::MouseMove: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (m_pressedAt && (mouse->buttons() & Qt::LeftButton) != 0 &&
                (mouse->position().toPoint() - *m_pressedAt).manhattanLength() >=
                    QApplication::startDragDistance()) {
                m_pressedAt.reset();
                dragPoster();
                return true;
            }
            break;
        }
        case QEvent::MouseButtonRelease:
            m_pressedAt.reset();
            break;
        default:
            break;
    }
    return false;
}

void ArtworkActions::dragPoster()
{
    const QString path = selectedPath();
    withPosterPicture([this, path](const std::optional<PosterPicture>& picture) {
        // The read may end after the button was let go: then there is no drag.
        if (!picture || (QApplication::mouseButtons() & Qt::LeftButton) == 0)
            return;
        QMimeData* data = embeddedFileDragData(
            picture->file, embeddedFileProposedName(picture->file, path, picture->number));
        if (data == nullptr)
            return;
        ImageDropView* poster = m_posterView.data();
        if (poster == nullptr)
            return;
        auto* drag = new QDrag(poster);
        drag->setMimeData(data);
        const QImage& shown = poster->image();
        if (!shown.isNull())
            drag->setPixmap(QPixmap::fromImage(
                shown.scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        drag->exec(Qt::CopyAction);
    });
}

}  // namespace vellinor
