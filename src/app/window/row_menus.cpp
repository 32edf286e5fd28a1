#include "app/window/row_menus.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTabWidget>

#include "app/facts/facts_view.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/scroll_drop_view.h"
#include "app/window/app_delegate.h"
#include "app/window/details_filter.h"
#include "app/window/main_window.h"
#include "app/window/table_rows.h"

namespace vellinor {
namespace {

// A value the filter box can hold: its first line (a tag may have several).
QString filterText(const QString& value)
{
    return value.section(u'\n', 0, 0).trimmed();
}

}  // namespace

RowMenus::RowMenus(MainWindow& window, AppDelegate& delegate)
    : QObject(&window), m_window(window), m_delegate(delegate)
{
    m_tracks = addCommands(*window.tracksView(), &RowMenus::tracksTarget);
    m_details = addCommands(*window.trackDetailsView(), &RowMenus::detailsTarget);
    connect(window.tracksView(), &TableView::contextMenuAboutToShow, this,
            [this] { updateCommands(m_tracks); });
    connect(window.trackDetailsView(), &TableView::contextMenuAboutToShow, this,
            [this] { updateCommands(m_details); });

    m_factsView = window.findChild<FactsView*>();
    if (m_factsView != nullptr) {
        // The Facts view has Copy and Copy Value already.
        m_facts.explain = new QAction(tr("Explain"), m_factsView);
        m_facts.filterByValue = new QAction(tr("Filter by This Value"), m_factsView);
        m_facts.target = &RowMenus::factsTarget;
        m_factsView->addActions({m_facts.explain, m_facts.filterByValue});
        connectCommands(m_facts);
        connect(m_factsView, &FactsView::contextMenuAboutToShow, this,
                [this] { updateCommands(m_facts); });
    }
}

RowMenus::Commands RowMenus::addCommands(QWidget& view, TargetOf target)
{
    Commands commands;
    commands.target = target;
    commands.copyValue = new QAction(tr("Copy Value"), &view);
    commands.explain = new QAction(tr("Explain"), &view);
    commands.filterByValue = new QAction(tr("Filter by This Value"), &view);
    view.addActions({commands.copyValue, commands.explain, commands.filterByValue});
    connectCommands(commands);
    return commands;
}

void RowMenus::connectCommands(const Commands& commands)
{
    const auto target = commands.target;
    if (commands.copyValue != nullptr)
        connect(commands.copyValue, &QAction::triggered, this, [this, target] {
            if (const Target t = (this->*target)(); !t.value.isEmpty())
                QGuiApplication::clipboard()->setText(t.value);
        });
    connect(commands.explain, &QAction::triggered, this,
            [this, target] { explain((this->*target)()); });
    connect(commands.filterByValue, &QAction::triggered, this,
            [this, target] { filterBy((this->*target)().value); });
}

// Before the menu shows: only the commands that can act are enabled.
void RowMenus::updateCommands(const Commands& commands) const
{
    const Target target = (this->*commands.target)();
    if (commands.copyValue != nullptr)
        commands.copyValue->setEnabled(!target.value.isEmpty());
    commands.explain->setEnabled(!DetailsFilter::keyToolTip(target.key).isEmpty());
    commands.filterByValue->setEnabled(!filterText(target.value).isEmpty());
}

QString RowMenus::detailsKeyOfTrackColumn(const QString& columnKey)
{
    if (columnKey == keys::trackNumber)
        return QStringLiteral("index");
    if (columnKey == keys::trackType)
        return QStringLiteral("codec_type");
    if (columnKey == keys::trackCodec)
        return QStringLiteral("codec_name");
    if (columnKey == keys::trackLanguage)
        return QStringLiteral("language.tags");
    if (columnKey == keys::trackDurationHuman)
        return QStringLiteral("duration");
    return {};
}

RowMenus::Target RowMenus::tracksTarget() const
{
    const QModelIndex index = m_window.tracksView()->commandIndex();
    if (!index.isValid())
        return {};
    const QList<TableColumn>& columns = m_window.tracksArrayController()->model()->columns();
    const QString column =
        index.column() < columns.size() ? columns.at(index.column()).key : QString();
    return {detailsKeyOfTrackColumn(column), index.data().toString()};
}

RowMenus::Target RowMenus::detailsTarget() const
{
    const QModelIndex index = m_window.trackDetailsView()->commandIndex();
    if (!index.isValid())
        return {};
    const QAbstractItemModel* model = index.model();
    return {model->index(index.row(), 0).data().toString(),
            model->index(index.row(), 1).data().toString()};
}

RowMenus::Target RowMenus::factsTarget() const
{
    if (m_factsView == nullptr)
        return {};
    const QString key = m_factsView->currentFactKey();
    // The filter looks in the details, which hold the field's value as the probe tool wrote
    // it ("192000", not "192 kb/s"); a worked-out fact has no such row and filters as shown.
    QString value = m_factsView->currentFactValue();
    for (const QVariantMap& row : m_window.trackDetailsArrayController()->content()) {
        if (!key.isEmpty() && row.value(keys::key).toString() == key) {
            value = row.value(keys::value).toString();
            break;
        }
    }
    return {key, value};
}

void RowMenus::explain(const Target& target)
{
    const QString line = DetailsFilter::keyToolTip(target.key);
    if (line.isEmpty())
        return;
    m_delegate.dialogRunner().runAlert(
        &m_window, {QMessageBox::Information, line, {}, {QStringLiteral("OK")}, 0}, this,
        [](int) {});
}

void RowMenus::filterBy(const QString& value)
{
    const QString text = filterText(value);
    auto* filter = m_window.trackDetailsView()->findChild<DetailsFilter*>();
    if (text.isEmpty() || filter == nullptr)
        return;
    if (auto* tabs = m_window.findChild<QTabWidget*>(QStringLiteral("detailsTabs"))) {
        for (int tab = 0; tab < tabs->count(); ++tab) {
            if (tabs->widget(tab)->isAncestorOf(m_window.trackDetailsView()))
                tabs->setCurrentIndex(tab);
        }
    }
    filter->lineEdit()->setText(text);
}

}  // namespace vellinor
