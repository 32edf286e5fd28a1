#include "app/facts/facts_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QSettings>
#include <QSplitter>
#include <QTabWidget>

#include "app/widgets/array_controller.h"
#include "app/widgets/scroll_drop_view.h"
#include "app/window/main_window.h"
#include "app/window/table_rows.h"
#include "probe/field_explanations.h"

namespace vellinor {
namespace {

const QString kTabSetting = QStringLiteral("window/detailsTab");
const QString kFactsTab = QStringLiteral("facts");
const QString kDetailsTab = QStringLiteral("details");
constexpr int kKeyRole = Qt::UserRole;

// In the application's settings store (the one user_defaults.h opens).
QString storedTab()
{
    return QSettings(QStringLiteral("Vellinor"), QStringLiteral("Vellinor"))
        .value(kTabSetting)
        .toString();
}
void storeTab(const QString& tab)
{
    QSettings(QStringLiteral("Vellinor"), QStringLiteral("Vellinor")).setValue(kTabSetting, tab);
}

// What a fact means and where it was read, for its tooltip.
QString factToolTip(const QVariantMap& fact)
{
    QStringList lines;
    if (const auto text = explainField(fact.value(keys::factKey).toString().toStdString()))
        lines.append(QString::fromStdString(*text));
    const QString source = fact.value(keys::factSource).toString();
    if (!source.isEmpty())
        lines.append(FactsView::tr("From: %1").arg(source));
    return lines.join(u'\n');
}

}  // namespace

FactsView::FactsView(QWidget* parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("factsView"));
    setColumnCount(2);
    setHeaderLabels({tr("Fact"), tr("Value")});
    setRootIsDecorated(false);
    setItemsExpandable(false);
    // Multi-line values (tags, side data) show every line.
    setUniformRowHeights(false);
    setWordWrap(true);
    setAlternatingRowColors(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setTextElideMode(Qt::ElideMiddle);
    header()->setStretchLastSection(true);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

    auto* copy = new QAction(tr("Copy"), this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, [this] {
        if (const QString text = selectedText(); !text.isEmpty())
            QGuiApplication::clipboard()->setText(text);
    });
    auto* copyValue = new QAction(tr("Copy Value"), this);
    connect(copyValue, &QAction::triggered, this, [this] {
        if (QTreeWidgetItem* item = currentItem(); item != nullptr && item->parent() != nullptr)
            QGuiApplication::clipboard()->setText(item->text(1));
    });
    addActions({copy, copyValue});
}

QString FactsView::currentFactKey() const
{
    const QTreeWidgetItem* item = currentItem();
    return item != nullptr && item->parent() != nullptr ? item->data(0, kKeyRole).toString()
                                                        : QString();
}

QString FactsView::currentFactValue() const
{
    const QTreeWidgetItem* item = currentItem();
    return item != nullptr && item->parent() != nullptr ? item->text(1) : QString();
}

void FactsView::contextMenuEvent(QContextMenuEvent* event)
{
    // The menu is for the fact under the pointer (or the current one, from the keyboard).
    if (event->reason() != QContextMenuEvent::Keyboard) {
        QTreeWidgetItem* item = itemAt(event->pos());
        if (item == nullptr) {
            event->accept();
            return;
        }
        setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
    }
    Q_EMIT contextMenuAboutToShow();
    QMenu::exec(actions(), event->globalPos(), nullptr, this);
    event->accept();
}

void FactsView::showFacts(const QList<QVariantMap>& facts)
{
    clear();
    QTreeWidgetItem* group = nullptr;
    QFont groupFont = font();
    groupFont.setBold(true);
    for (const QVariantMap& fact : facts) {
        const QString groupName = fact.value(keys::factGroup).toString();
        if (group == nullptr || group->text(0) != groupName) {
            group = new QTreeWidgetItem(this, {groupName});
            group->setFont(0, groupFont);
            group->setFirstColumnSpanned(true);
            group->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        }
        auto* item = new QTreeWidgetItem(
            group, {fact.value(keys::factName).toString(), fact.value(keys::factValue).toString()});
        item->setData(0, kKeyRole, fact.value(keys::factKey));
        const QString tip = factToolTip(fact);
        item->setToolTip(0, tip);
        // A value cut short by a narrow window reads whole in its tooltip.
        item->setToolTip(1, fact.value(keys::factValue).toString() +
                                (tip.isEmpty() ? QString() : u"\n\n" + tip));
    }
    expandAll();
}

QString FactsView::selectedText() const
{
    QStringList lines;
    for (int g = 0; g < topLevelItemCount(); ++g) {
        const QTreeWidgetItem* group = topLevelItem(g);
        for (int i = 0; i < group->childCount(); ++i) {
            const QTreeWidgetItem* item = group->child(i);
            if (group->isSelected() || item->isSelected())
                lines.append(item->text(0) + u'\t' + item->text(1));
        }
    }
    return lines.join(u'\n');
}

void FactsView::keyPressEvent(QKeyEvent* event)
{
    // Home and End go to the first and last fact, as in the other tables.
    if (event->key() == Qt::Key_Home || event->key() == Qt::Key_End) {
        if (topLevelItemCount() > 0) {
            QTreeWidgetItem* group =
                topLevelItem(event->key() == Qt::Key_Home ? 0 : topLevelItemCount() - 1);
            QTreeWidgetItem* target = event->key() == Qt::Key_Home || group->childCount() == 0
                                          ? group
                                          : group->child(group->childCount() - 1);
            setCurrentItem(target);
            scrollToItem(target);
        }
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

FactsView* installFactsTab(MainWindow& window)
{
    // The details table sits in the splitter under the tracks, perhaps inside a box of its own
    // (the filter); that whole widget becomes the "Details" tab.
    QWidget* details = window.trackDetailsView();
    auto* splitter = qobject_cast<QSplitter*>(details->parentWidget());
    while (details->parentWidget() != nullptr && splitter == nullptr) {
        details = details->parentWidget();
        splitter = qobject_cast<QSplitter*>(details->parentWidget());
    }
    if (splitter == nullptr)
        return nullptr;
    auto* tabs = new QTabWidget;
    tabs->setObjectName(QStringLiteral("detailsTabs"));
    tabs->setDocumentMode(true);
    const int index = splitter->indexOf(details);
    splitter->replaceWidget(index, tabs);
    auto* facts = new FactsView;
    tabs->addTab(details, FactsView::tr("Details"));
    tabs->addTab(facts, FactsView::tr("Facts"));
    tabs->setTabToolTip(0, FactsView::tr("Every field the probe tool reported, by name"));
    tabs->setTabToolTip(1, FactsView::tr("The track's facts by group, in words and units"));
    if (storedTab() == kFactsTab)
        tabs->setCurrentWidget(facts);
    QObject::connect(tabs, &QTabWidget::currentChanged, tabs, [tabs, facts](int) {
        storeTab(tabs->currentWidget() == facts ? kFactsTab : kDetailsTab);
    });

    // Finding a property (Ctrl+F) searches the details table: its tab comes forward.
    for (QAction* action : window.actions()) {
        if (action->shortcut() != QKeySequence(QKeySequence::Find))
            continue;
        QObject::connect(action, &QAction::triggered, tabs, [tabs, details] {
            tabs->setCurrentWidget(details);
            if (auto* edit = details->findChild<QWidget*>(QStringLiteral("detailsFilterEdit")))
                edit->setFocus(Qt::ShortcutFocusReason);
        });
    }

    ArrayController* tracks = window.tracksArrayController();
    auto follow = [tracks, facts] {
        const QList<QVariantMap> selected = tracks->selectedObjects();
        const QVariant rows =
            selected.isEmpty() ? QVariant() : selected.first().value(keys::trackFacts);
        if (rows.metaType() == QMetaType::fromType<QList<QVariantMap>>())
            facts->showFacts(rows.value<QList<QVariantMap>>());
        else
            facts->showFacts({});
    };
    QObject::connect(tracks->selectionModel(), &QItemSelectionModel::selectionChanged, facts,
                     follow);
    QObject::connect(tracks->model(), &QAbstractItemModel::modelReset, facts, follow);
    return facts;
}

}  // namespace vellinor
