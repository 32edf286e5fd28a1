#include "app/window/main_window.h"

#include <algorithm>

#include <QEvent>
#include <QHeaderView>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>

#include "app/window/app_delegate.h"
#include "app/widgets/array_controller.h"
#include "app/attachments/artwork_actions.h"
#include "app/bitrate/bitrate_action.h"
#include "app/policy/policy_view.h"
#include "app/scan/scan_panel.h"
#include "app/compare/compare_action.h"
#include "app/window/details_filter.h"
#include "app/facts/facts_view.h"
#include "app/window/folder_intake.h"
#include "app/window/help_menu.h"
#include "app/window/probe_wait.h"
#include "app/window/row_menus.h"
#include "app/window/table_rows.h"
#include "app/window/view_actions.h"
#include "app/window/window_commands.h"
#include "ui_main_window.h"

namespace vellinor {

namespace {

// Shows `controller` in `view`: its rows, and its selection as the view's selection.
void attach(ScrollDropView* view, ArrayController* controller)
{
    view->setModel(controller->model());
    QItemSelectionModel* ownSelection = view->selectionModel();
    view->setSelectionModel(controller->selectionModel());
    delete ownSelection;
}

// Sizes the columns to their new content whenever the table's rows are replaced; the last
// column takes the remaining width, and no column grows past `maxWidth` (longer text is elided
// and shown whole in its tooltip).
void fitColumnsOnReset(ScrollDropView* view, int maxWidth)
{
    view->horizontalHeader()->setMaximumSectionSize(maxWidth);
    QObject::connect(view->model(), &QAbstractItemModel::modelReset, view,
                     [view] { view->resizeColumnsToContents(); });
}

QIcon themeIcon(const QString& name, QStyle::StandardPixmap fallback, const QStyle* style)
{
    return QIcon::fromTheme(name, style->standardIcon(fallback));
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::MainWindow>())
{
    m_ui->setupUi(this);
    setUpTables();
    setUpToolBar();
    m_ui->mainSplitter->setStretchFactor(0, 0);
    m_ui->mainSplitter->setStretchFactor(1, 1);
    m_ui->mainSplitter->setSizes({260, 1000});
    m_ui->trackSplitter->setSizes({220, 330});
    fitOverviewHeight();
    installDetailsFilter(*this);
    installFactsTab(*this);
    m_commands = new WindowCommands(*this);
}

MainWindow::~MainWindow() = default;

void MainWindow::setUpTables()
{
    m_fileList = new ArrayController({{keys::fileName, tr("Files")}}, this);
    m_overview = new ArrayController({{keys::fieldKey1, {}},
                                      {keys::fieldValue1, {}},
                                      {keys::fieldKey2, {}},
                                      {keys::fieldValue2, {}}},
                                     this);
    m_tracks = new ArrayController({{keys::trackNumber, tr("#")},
                                    {keys::trackType, tr("Type")},
                                    {keys::trackCodec, tr("Codec")},
                                    {keys::trackLanguage, tr("Language")},
                                    {keys::trackDurationHuman, tr("Duration")},
                                    {keys::trackExtraInfo, tr("Details")},
                                    {keys::trackSummary, tr("Summary")}},
                                   this);
    m_trackDetails =
        new ArrayController({{keys::key, tr("Property")}, {keys::value, tr("Value")}}, this);

    // Files of the same name in different folders: the tooltip tells them apart.
    m_fileList->model()->setToolTipKey(0, keys::fileURL);
    attach(m_ui->fileListTableView, m_fileList);
    attach(m_ui->overviewTableView, m_overview);
    attach(m_ui->tracksTableView, m_tracks);
    attach(m_ui->trackDetailsTableView, m_trackDetails);

    // The overview reads as a part of the window, not as a table.
    m_ui->overviewTableView->viewport()->setBackgroundRole(QPalette::Window);
    QHeaderView* overviewHeader = m_ui->overviewTableView->horizontalHeader();
    // The two pairs sit side by side at their own widths, a gap between them, however wide the
    // window; when the room is short the values give way (elided, whole in their tooltips).
    overviewHeader->setSectionResizeMode(QHeaderView::Fixed);
    overviewHeader->setStretchLastSection(false);
    connect(m_overview->model(), &QAbstractItemModel::modelReset, this,
            &MainWindow::fitOverviewColumns);
    m_ui->overviewTableView->installEventFilter(this);

    fitColumnsOnReset(m_ui->tracksTableView, 360);
    fitColumnsOnReset(m_ui->trackDetailsTableView, 420);
    m_ui->tracksTableView->resizeColumnsToContents();
    m_ui->trackDetailsTableView->resizeColumnsToContents();

    m_ui->fileListTableView->addAction(m_ui->showInFileManagerAction);
    m_ui->trackDetailsTableView->addAction(m_ui->copyDetailsAction);
}

void MainWindow::setUpToolBar()
{
    const QStyle* s = style();
    m_ui->openBTN->setIcon(
        themeIcon(QStringLiteral("document-open"), QStyle::SP_DialogOpenButton, s));
    m_ui->removeBTN->setIcon(themeIcon(QStringLiteral("list-remove"), QStyle::SP_TrashIcon, s));
    m_ui->saveBTN->setIcon(
        themeIcon(QStringLiteral("document-save"), QStyle::SP_DialogSaveButton, s));
    m_ui->helpBTN->setIcon(
        themeIcon(QStringLiteral("help-about"), QStyle::SP_MessageBoxQuestion, s));
    m_ui->mainToolBar->setIconSize(QSize(20, 20));
}

// The overview shows its five rows whole, without scrolling; the poster is a square as tall as
// the label and the overview together.
void MainWindow::fitOverviewHeight()
{
    QFont labelFont = font();
    labelFont.setBold(true);
    labelFont.setPointSizeF(labelFont.pointSizeF() * 1.2);
    m_ui->filePathLBL->setFont(labelFont);

    constexpr int overviewRows = 5;
    ScrollDropView* overview = m_ui->overviewTableView;
    const int rowHeight = fontMetrics().height() + 8;
    for (ScrollDropView* view : {m_ui->fileListTableView, m_ui->overviewTableView,
                                 m_ui->tracksTableView, m_ui->trackDetailsTableView})
        view->verticalHeader()->setDefaultSectionSize(rowHeight);
    overview->setFixedHeight(overviewRows * rowHeight + 2 * overview->frameWidth());
    const int side = m_ui->filePathLBL->sizeHint().height() + m_ui->overviewLayout->spacing() +
                     overview->height();
    m_ui->posterIMG->setFixedSize(side, side);
}

void MainWindow::fitOverviewColumns()
{
    constexpr int kGapBetweenPairs = 32;
    ScrollDropView* view = m_ui->overviewTableView;
    QHeaderView* header = view->horizontalHeader();
    int widths[4] = {};
    for (int column = 0; column < 4; ++column) {
        view->resizeColumnToContents(column);
        widths[column] = header->sectionSize(column);
    }
    widths[1] += kGapBetweenPairs;
    const int room = view->viewport()->width();
    const int excess = widths[0] + widths[1] + widths[2] + widths[3] - room;
    if (excess > 0 && room > 0) {
        // The values give way, each in proportion to its width.
        const int values = widths[1] + widths[3];
        const int fromFirst = values > 0 ? excess * widths[1] / values : 0;
        widths[1] = std::max(widths[1] - fromFirst, 24);
        widths[3] = std::max(widths[3] - (excess - fromFirst), 24);
    }
    for (int column = 0; column < 4; ++column)
        header->resizeSection(column, widths[column]);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->overviewTableView && event->type() == QEvent::Resize)
        fitOverviewColumns();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitOverviewHeight();
}

void MainWindow::connectOutlets(AppDelegate& delegate)
{
    delegate.window = this;
    delegate.posterIMG = m_ui->posterIMG;
    delegate.filePathLBL = m_ui->filePathLBL;
    delegate.fileListArrayController = m_fileList;
    delegate.overviewArrayController = m_overview;
    delegate.tracksArrayController = m_tracks;
    delegate.trackDetailsArrayController = m_trackDetails;
    delegate.informationView = m_ui->informationView;
    delegate.fileListTableView = m_ui->fileListTableView;
    m_commands->connectTo(delegate);
    installCompareAction(*this, delegate);
    installBitrateAction(*this);
    installScanPanel(*this, delegate);

    connect(m_ui->openBTN, &QAction::triggered, &delegate, &AppDelegate::openToolBarBTNClicked);
    connect(m_ui->removeBTN, &QAction::triggered, &delegate, &AppDelegate::removeMediaBTNClicked);
    connect(m_ui->saveBTN, &QAction::triggered, &delegate, &AppDelegate::saveBTNClicked);
    connect(m_ui->helpBTN, &QAction::triggered, &delegate, &AppDelegate::helpBTNClicked);
    connect(m_ui->showInFileManagerAction, &QAction::triggered, &delegate,
            &AppDelegate::showInFinderAction);
    connect(m_ui->copyDetailsAction, &QAction::triggered, &delegate,
            &AppDelegate::copySelectedTrackDetails);
    const auto* artwork = new ArtworkActions(*this, delegate);

    // The commands that look into files are in the menu bar too, before Help.
    auto* inspectMenu = new QMenu(tr("&Inspect"), this);
    inspectMenu->setObjectName(QStringLiteral("inspectMenu"));
    for (QAction* action :
         {findChild<QAction*>(QStringLiteral("compareAction")),
          findChild<QAction*>(QStringLiteral("bitrateAction")),
          findChild<QAction*>(QStringLiteral("scanAction")), artwork->showAttachmentsAction()}) {
        if (action != nullptr)
            inspectMenu->addAction(action);
    }
    const QList<QAction*> menus = menuBar()->actions();
    menuBar()->insertMenu(menus.isEmpty() ? nullptr : menus.back(), inspectMenu);
    installPolicyView(*this, delegate);
    new FolderIntake(*this, delegate);
    new RowMenus(*this, delegate);
    installViewActions(*this, delegate);
    installProbeWait(*this, delegate);
    installHelpMenu(*this, delegate);
}

DropView* MainWindow::dropView() const
{
    return m_ui->dropView;
}
ImageDropView* MainWindow::posterView() const
{
    return m_ui->posterIMG;
}
QLabel* MainWindow::filePathLabel() const
{
    return m_ui->filePathLBL;
}
ScrollDropView* MainWindow::fileListView() const
{
    return m_ui->fileListTableView;
}
ScrollDropView* MainWindow::overviewView() const
{
    return m_ui->overviewTableView;
}
ScrollDropView* MainWindow::tracksView() const
{
    return m_ui->tracksTableView;
}
ScrollDropView* MainWindow::trackDetailsView() const
{
    return m_ui->trackDetailsTableView;
}

QAction* MainWindow::openAction() const
{
    return m_ui->openBTN;
}
QAction* MainWindow::removeAction() const
{
    return m_ui->removeBTN;
}
QAction* MainWindow::saveAction() const
{
    return m_ui->saveBTN;
}
QAction* MainWindow::helpAction() const
{
    return m_ui->helpBTN;
}
QAction* MainWindow::showInFileManagerAction() const
{
    return m_ui->showInFileManagerAction;
}
QAction* MainWindow::copyDetailsAction() const
{
    return m_ui->copyDetailsAction;
}

}  // namespace vellinor
