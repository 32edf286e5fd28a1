#include "app/window/window_commands.h"

#include <QAction>
#include <QBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include "app/widgets/array_controller.h"
#include "app/widgets/scroll_drop_view.h"
#include "app/window/app_delegate.h"
#include "app/window/main_window.h"

namespace vellinor {
namespace {

QAction* newAction(QObject* parent, const QString& text, const QKeySequence& shortcut)
{
    auto* action = new QAction(text, parent);
    action->setShortcut(shortcut);
    return action;
}

}  // namespace

WindowCommands::WindowCommands(MainWindow& window) : QObject(&window), m_window(window)
{
    ScrollDropView* files = window.fileListView();
    ScrollDropView* tracks = window.tracksView();
    ScrollDropView* details = window.trackDetailsView();

    // Tab goes from table to table; the arrow keys move within one.
    for (ScrollDropView* table : {files, tracks, details})
        table->setTabKeyNavigation(false);
    QWidget::setTabOrder(files, tracks);
    QWidget::setTabOrder(tracks, details);

    m_removeSelected = newAction(files, tr("Remove"), QKeySequence::Delete);
    m_removeSelected->setShortcutContext(Qt::WidgetShortcut);
    files->addAction(m_removeSelected);

    m_copyTracks = newAction(tracks, tr("Copy"), QKeySequence::Copy);
    m_copyTracks->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    tracks->addAction(m_copyTracks);

    m_copyReport = newAction(&window, tr("Copy Report"), QKeySequence(tr("Ctrl+Shift+C")));
    m_copyReport->setToolTip(tr("Copy the displayed file's report as text"));
    m_copyReport->setEnabled(false);
    // Spelled out: a platform without a desktop theme binds no key to the standard ones.
    m_quit = newAction(&window, tr("Quit"), QKeySequence(tr("Ctrl+Q")));
    window.helpAction()->setShortcut(QKeySequence(Qt::Key_F1));

    QMenuBar* bar = window.menuBar();
    QMenu* fileMenu = bar->addMenu(tr("&File"));
    fileMenu->setObjectName(QStringLiteral("fileMenu"));
    fileMenu->addAction(window.openAction());
    fileMenu->addAction(window.saveAction());
    fileMenu->addAction(window.removeAction());
    fileMenu->addSeparator();
    fileMenu->addAction(m_quit);
    QMenu* editMenu = bar->addMenu(tr("&Edit"));
    editMenu->setObjectName(QStringLiteral("editMenu"));
    editMenu->addAction(m_copyReport);
    QMenu* helpMenu = bar->addMenu(tr("&Help"));
    helpMenu->setObjectName(QStringLiteral("helpMenu"));
    helpMenu->addAction(window.helpAction());
    // Shortcuts of actions only in a menu or toolbar work window-wide.
    window.addActions({m_copyReport, m_quit});

    // The verdict line sits under the overview.
    m_verdict = new QLabel(window.overviewView()->parentWidget());
    m_verdict->setObjectName(QStringLiteral("verdictLBL"));
    m_verdict->setWordWrap(true);
    m_verdict->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_verdict->setVisible(false);
    if (auto* layout = window.findChild<QBoxLayout*>(QStringLiteral("overviewLayout"))) {
        const int at = layout->indexOf(window.overviewView());
        layout->insertWidget(at >= 0 ? at + 1 : layout->count(), m_verdict);
    }

    connect(window.fileListArrayController()->selectionModel(),
            &QItemSelectionModel::selectionChanged, this, &WindowCommands::updateSelectionCommands);
    connect(window.fileListArrayController()->model(), &QAbstractItemModel::modelReset, this,
            &WindowCommands::updateSelectionCommands);
    updateSelectionCommands();
}

void WindowCommands::connectTo(AppDelegate& delegate)
{
    delegate.verdictLBL = m_verdict;
    connect(m_removeSelected, &QAction::triggered, &delegate, &AppDelegate::removeMediaBTNClicked);
    connect(m_copyTracks, &QAction::triggered, &delegate, &AppDelegate::copySelectedTracks);
    connect(m_copyReport, &QAction::triggered, &delegate, &AppDelegate::copyReport);
    connect(m_quit, &QAction::triggered, &m_window, &QWidget::close);
    connect(&delegate, &AppDelegate::displayChanged, this,
            [this, &delegate] { m_copyReport->setEnabled(delegate.hasDisplayedFile()); });
}

void WindowCommands::updateSelectionCommands()
{
    const bool selected = !m_window.fileListArrayController()->selectionIndexes().isEmpty();
    m_window.saveAction()->setEnabled(selected);
    m_window.removeAction()->setEnabled(selected);
    m_removeSelected->setEnabled(selected);
}

}  // namespace vellinor
