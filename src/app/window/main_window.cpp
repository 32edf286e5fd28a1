#include "app/window/main_window.h"

#include <algorithm>
#include <array>
#include <initializer_list>

#include <QEvent>
#include <QHeaderView>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QResizeEvent>
#include <QStyle>

#include "app/attachments/artwork_actions.h"
#include "app/bitrate/bitrate_action.h"
#include "app/compare/compare_action.h"
#include "app/facts/facts_view.h"
#include "app/policy/policy_view.h"
#include "app/scan/scan_panel.h"
#include "app/widgets/array_controller.h"
#include "app/window/app_delegate.h"
#include "app/window/details_filter.h"
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
    // The file list takes a share of a wider window (a maximised one lists long names whole)
    // and gives way in a narrow one, where the overview needs the room.
    m_ui->mainSplitter->setStretchFactor(0, 1);
    m_ui->mainSplitter->setStretchFactor(1, 4);
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
    overviewHeader->setMinimumSectionSize(0);
    connect(m_overview->model(), &QAbstractItemModel::modelReset, this,
            [this] { fitOverviewColumns(); });
    m_ui->overviewTableView->installEventFilter(this);
    m_ui->informationView->installEventFilter(this);
    // Names keep their extension in sight; the tooltip has the whole path.
    m_ui->fileListTableView->setTextElideMode(Qt::ElideMiddle);

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
// the label and the overview together. In a tall window (maximised) the poster grows to a
// quarter of the information view's height, at most three times its least side, and the
// overview's rows spread to its height.
void MainWindow::fitOverviewHeight()
{
    QFont labelFont = font();
    labelFont.setBold(true);
    labelFont.setPointSizeF(labelFont.pointSizeF() * 1.2);
    m_ui->filePathLBL->setFont(labelFont);

    constexpr int overviewRows = 5;
    ScrollDropView* overview = m_ui->overviewTableView;
    const int rowHeight = fontMetrics().height() + 8;
    for (ScrollDropView* view :
         {m_ui->fileListTableView, m_ui->tracksTableView, m_ui->trackDetailsTableView})
        view->verticalHeader()->setDefaultSectionSize(rowHeight);
    const int above = m_ui->filePathLBL->sizeHint().height() + m_ui->overviewLayout->spacing();
    const int leastSide = above + overviewRows * rowHeight + 2 * overview->frameWidth();
    const int side = std::clamp(m_ui->informationView->height() / 4, leastSide, 3 * leastSide);
    const int overviewRowHeight =
        std::max(rowHeight, (side - above - 2 * overview->frameWidth()) / overviewRows);
    overview->verticalHeader()->setDefaultSectionSize(overviewRowHeight);
    overview->setFixedHeight(overviewRows * overviewRowHeight + 2 * overview->frameWidth());
    m_ui->posterIMG->setFixedSize(side, side);
}

void MainWindow::fitOverviewColumns(int room)
{
    ScrollDropView* view = m_ui->overviewTableView;
    if (room < 0)
        room = view->viewport()->width();
    QHeaderView* header = view->horizontalHeader();
    std::array<int, 4> natural{};
    for (int column = 0; column < 4; ++column) {
        view->resizeColumnToContents(column);
        natural.at(static_cast<std::size_t>(column)) = header->sectionSize(column);
    }
    const std::array<int, 4> widths =
        overviewColumnWidths(natural, room, fontMetrics().averageCharWidth());
    for (int column = 0; column < 4; ++column)
        header->resizeSection(column, widths.at(static_cast<std::size_t>(column)));
}

std::array<int, 4> overviewColumnWidths(std::array<int, 4> natural, int room, int charWidth)
{
    // Labels, values, labels, values.
    const int gap = 4 * charWidth;
    std::array<int, 4> widths = natural;
    widths[1] += gap;
    const auto sum = [&widths] { return widths[0] + widths[1] + widths[2] + widths[3]; };
    if (room <= 0)
        return widths;
    if (sum() <= room) {
        // Room to spare: the right pair starts halfway across (or as far as it fits), its
        // value takes the rest.
        widths[1] =
            std::max(widths[1], std::min(room / 2, room - widths[2] - widths[3]) - widths[0]);
        widths[3] = std::max(widths[3], room - widths[0] - widths[1] - widths[2]);
        return widths;
    }
    // Short of room, what gives way in turn (each cut text ends in an ellipsis and shows whole
    // in its tooltip): the gap, then the values to a few letters, then the labels to a few
    // letters, then the values to one; the columns never reach past the room, so nothing is
    // cut off unseen at the edge.
    const auto shrink = [&](std::initializer_list<std::size_t> columns, int least) {
        for (std::size_t column : columns) {
            const int spare = std::max(0, widths.at(column) - least);
            widths.at(column) -= std::min(spare, std::max(0, sum() - room));
        }
    };
    widths[1] -= std::min(gap - charWidth, sum() - room);
    // Shares in proportion, so one value does not vanish while the other stays whole.
    const auto shrinkPair = [&](std::size_t a, std::size_t b, int least) {
        const int excess = sum() - room;
        if (excess <= 0)
            return;
        const int spareA = std::max(0, widths.at(a) - least);
        const int spareB = std::max(0, widths.at(b) - least);
        if (spareA + spareB == 0)
            return;
        const int fromA = std::min(spareA, excess * spareA / (spareA + spareB));
        widths.at(a) -= fromA;
        widths.at(b) -= std::min(spareB, excess - fromA);
        shrink({a, b}, least);
    };
    shrinkPair(1, 3, 6 * charWidth);
    shrinkPair(0, 2, 6 * charWidth);
    shrinkPair(1, 3, 2 * charWidth);
    shrinkPair(0, 2, 2 * charWidth);
    shrink({1, 3, 0, 2}, 0);
    return widths;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The viewport takes its new size only after this filter: the room is the view's new width
    // less its frame (it never scrolls sideways or down).
    if (watched == m_ui->overviewTableView && event->type() == QEvent::Resize)
        fitOverviewColumns(static_cast<QResizeEvent*>(event)->size().width() -
                           2 * m_ui->overviewTableView->frameWidth());
    if (watched == m_ui->informationView && event->type() == QEvent::Resize)
        fitOverviewHeight();
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
    delegate.tracksTableView = m_ui->tracksTableView;
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
