#include "app/window/view_actions.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "app/report/report_text_window.h"
#include "app/sheet/sheet_window.h"
#include "app/window/app_delegate.h"
#include "app/window/main_window.h"

namespace vellinor {
namespace {

void bringForward(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace

ViewActions::ViewActions(MainWindow& window, AppDelegate& delegate)
    : QObject(&window), m_window(window), m_delegate(delegate)
{
    m_reportText = new QAction(tr("Report as &Text"), &window);
    m_reportText->setObjectName(QStringLiteral("reportTextAction"));
    m_reportText->setShortcut(QKeySequence(tr("Ctrl+T")));
    m_reportText->setToolTip(
        tr("The displayed file's whole report as text, to read, search and copy"));
    m_sheet = new QAction(tr("&Sheet of All Files"), &window);
    m_sheet->setObjectName(QStringLiteral("sheetAction"));
    m_sheet->setShortcut(QKeySequence(tr("Ctrl+Shift+L")));
    m_sheet->setToolTip(tr("Every file of the list as a row, to sort, filter and export"));
    window.addActions({m_reportText, m_sheet});

    auto* viewMenu = new QMenu(tr("&View"), &window);
    viewMenu->setObjectName(QStringLiteral("viewMenu"));
    viewMenu->addAction(m_reportText);
    viewMenu->addAction(m_sheet);
    // After Edit: File, Edit, View, the rest.
    const QList<QAction*> menus = window.menuBar()->actions();
    window.menuBar()->insertMenu(menus.size() > 2 ? menus.at(2) : nullptr, viewMenu);

    connect(m_reportText, &QAction::triggered, this, &ViewActions::showReportText);
    connect(m_sheet, &QAction::triggered, this, &ViewActions::showSheet);
    connect(&delegate, &AppDelegate::displayChanged, this, &ViewActions::updateTitle);
    updateTitle();
}

ReportTextWindow* ViewActions::reportTextWindow() const
{
    return m_reportWindow.data();
}

SheetWindow* ViewActions::sheetWindow() const
{
    return m_sheetWindow.data();
}

void ViewActions::showReportText()
{
    if (m_reportWindow.isNull())
        m_reportWindow = new ReportTextWindow(m_delegate, &m_window);
    bringForward(m_reportWindow);
}

void ViewActions::showSheet()
{
    if (m_sheetWindow.isNull())
        m_sheetWindow =
            new SheetWindow(*m_window.fileListArrayController(), m_delegate.probeOptions(),
                            m_delegate.dialogRunner(), &m_window);
    bringForward(m_sheetWindow);
}

void ViewActions::updateTitle()
{
    const QString name = m_delegate.displayedName();
    m_window.setWindowTitle(name.isEmpty() ? QStringLiteral("Vellinor")
                                           : name + QStringLiteral(" \u2014 Vellinor"));
}

ViewActions* installViewActions(MainWindow& window, AppDelegate& delegate)
{
    return new ViewActions(window, delegate);
}

}  // namespace vellinor
