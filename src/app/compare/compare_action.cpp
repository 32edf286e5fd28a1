#include "app/compare/compare_action.h"

#include <QAction>
#include <QIcon>
#include <QItemSelectionModel>
#include <QStyle>
#include <QToolBar>
#include <QUrl>

#include "app/compare/comparison_window.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/scroll_drop_view.h"
#include "app/window/app_delegate.h"
#include "app/window/main_window.h"
#include "app/window/table_rows.h"
#include "probe/probe_defaults.h"

namespace vellinor {

CompareAction::CompareAction(MainWindow& window, AppDelegate& delegate)
    : QObject(&window), m_window(window), m_delegate(delegate)
{
    m_action = new QAction(
        QIcon::fromTheme(QStringLiteral("view-split-left-right"),
                         window.style()->standardIcon(QStyle::SP_FileDialogDetailedView)),
        tr("Compare"), &window);
    m_action->setObjectName(QStringLiteral("compareAction"));
    m_action->setToolTip(tr("Compare the selected files side by side (%1 to %2 files)")
                             .arg(probe_defaults::kFewestComparedFiles)
                             .arg(probe_defaults::kMostComparedFiles));
    m_action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    m_action->setShortcutContext(Qt::WindowShortcut);
    window.addAction(m_action);  // the shortcut works wherever the focus is in the window
    if (auto* toolBar = window.findChild<QToolBar*>(QStringLiteral("mainToolBar")))
        toolBar->insertAction(window.saveAction(), m_action);
    window.fileListView()->addAction(m_action);

    connect(m_action, &QAction::triggered, this, &CompareAction::compareSelectedFiles);
    connect(window.fileListArrayController()->selectionModel(),
            &QItemSelectionModel::selectionChanged, this, &CompareAction::updateEnabled);
    connect(window.fileListArrayController()->model(), &QAbstractItemModel::modelReset, this,
            &CompareAction::updateEnabled);
    updateEnabled();
}

QStringList CompareAction::selectedPaths() const
{
    QStringList paths;
    for (const QVariantMap& entry : m_window.fileListArrayController()->selectedObjects()) {
        const QUrl url = entry.value(keys::fileURL).toUrl();
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

ComparisonWindow* CompareAction::lastWindow() const
{
    return m_lastWindow.data();
}

void CompareAction::updateEnabled()
{
    const auto count = m_window.fileListArrayController()->selectionIndexes().size();
    m_action->setEnabled(probe_defaults::canCompare(static_cast<std::size_t>(count),
                                                    probe_defaults::kMostComparedFiles));
}

void CompareAction::compareSelectedFiles()
{
    const QStringList paths = selectedPaths();
    if (!probe_defaults::canCompare(static_cast<std::size_t>(paths.size()),
                                    probe_defaults::kMostComparedFiles))
        return;
    auto* comparison = new ComparisonWindow(paths, m_delegate.probeOptions(), &m_window);
    m_lastWindow = comparison;
    comparison->show();
}

CompareAction* installCompareAction(MainWindow& window, AppDelegate& delegate)
{
    return new CompareAction(window, delegate);
}

}  // namespace vellinor
