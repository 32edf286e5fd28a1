#include "app/bitrate/bitrate_action.h"

#include <QAction>
#include <QIcon>
#include <QItemSelectionModel>
#include <QStyle>
#include <QToolBar>
#include <QUrl>

#include "app/bitrate/bitrate_window.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/scroll_drop_view.h"
#include "app/window/main_window.h"
#include "app/window/table_rows.h"

namespace vellinor {

BitrateAction::BitrateAction(MainWindow& window) : QObject(&window), m_window(window)
{
    m_action =
        new QAction(QIcon::fromTheme(QStringLiteral("utilities-system-monitor"),
                                     window.style()->standardIcon(QStyle::SP_FileDialogInfoView)),
                    tr("Bitrate"), &window);
    m_action->setObjectName(QStringLiteral("bitrateAction"));
    m_action->setToolTip(tr("Show the bit rate over time and the keyframes of the selected file"));
    m_action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    m_action->setShortcutContext(Qt::WindowShortcut);
    window.addAction(m_action);
    if (auto* toolBar = window.findChild<QToolBar*>(QStringLiteral("mainToolBar")))
        toolBar->insertAction(window.saveAction(), m_action);
    window.fileListView()->addAction(m_action);

    connect(m_action, &QAction::triggered, this, &BitrateAction::showBitrateOfSelectedFile);
    connect(window.fileListArrayController()->selectionModel(),
            &QItemSelectionModel::selectionChanged, this, &BitrateAction::updateEnabled);
    connect(window.fileListArrayController()->model(), &QAbstractItemModel::modelReset, this,
            &BitrateAction::updateEnabled);
    updateEnabled();
}

BitrateWindow* BitrateAction::lastWindow() const
{
    return m_lastWindow.data();
}

QString BitrateAction::selectedPath() const
{
    const auto selected = m_window.fileListArrayController()->selectedObjects();
    if (selected.size() != 1)
        return {};
    const QUrl url = selected.front().value(keys::fileURL).toUrl();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

void BitrateAction::updateEnabled()
{
    m_action->setEnabled(m_window.fileListArrayController()->selectionIndexes().size() == 1);
}

void BitrateAction::showBitrateOfSelectedFile()
{
    const QString path = selectedPath();
    if (path.isEmpty())
        return;
    for (auto* open : m_window.findChildren<BitrateWindow*>()) {
        if (open->path() == path) {
            m_lastWindow = open;
            open->raise();
            open->activateWindow();
            return;
        }
    }
    auto* window = new BitrateWindow(path, &m_window);
    m_lastWindow = window;
    window->show();
}

BitrateAction* installBitrateAction(MainWindow& window)
{
    return new BitrateAction(window);
}

}  // namespace vellinor
