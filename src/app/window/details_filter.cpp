#include "app/window/details_filter.h"

#include <QAction>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSplitter>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>

#include "app/widgets/scroll_drop_view.h"
#include "app/window/main_window.h"
#include "probe/field_explanations.h"

namespace vellinor {

DetailsFilter::DetailsFilter(QTableView& table) : QObject(&table), m_table(table)
{
    QWidget* parent = table.parentWidget();
    auto* box = new QWidget;  // parented when it takes the table's place
    m_edit = new QLineEdit(box);
    m_edit->setObjectName(QStringLiteral("detailsFilterEdit"));
    m_edit->setPlaceholderText(tr("Filter properties and values (Ctrl+F)"));
    m_edit->setClearButtonEnabled(true);

    // The box takes the table's place, and the table goes into the box under the line edit.
    auto* splitter = qobject_cast<QSplitter*>(parent);
    const int splitterIndex = splitter != nullptr ? splitter->indexOf(&table) : -1;
    QLayout* parentLayout = parent != nullptr ? parent->layout() : nullptr;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    if (splitterIndex >= 0)
        splitter->replaceWidget(splitterIndex, box);
    else if (parentLayout != nullptr)
        delete parentLayout->replaceWidget(&table, box);
    else
        box->setParent(parent);
    layout->addWidget(m_edit);
    layout->addWidget(&table, 1);

    auto* find = new QAction(tr("Find Property"), table.window());
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WindowShortcut);
    table.window()->addAction(find);
    connect(find, &QAction::triggered, m_edit, [this] {
        m_edit->setFocus(Qt::ShortcutFocusReason);
        m_edit->selectAll();
    });

    connect(m_edit, &QLineEdit::textChanged, this, &DetailsFilter::apply);
    // New rows (another track selected) are filtered with the same text.
    connect(table.model(), &QAbstractItemModel::modelReset, this, &DetailsFilter::apply);
    connect(table.model(), &QAbstractItemModel::rowsInserted, this, &DetailsFilter::apply);
    connect(table.model(), &QAbstractItemModel::layoutChanged, this, &DetailsFilter::apply);
    // Select All selects hidden rows too; a copy must hold only the rows that show.
    if (QItemSelectionModel* selection = table.selectionModel())
        connect(selection, &QItemSelectionModel::selectionChanged, this,
                [this](const QItemSelection& selected) { deselectHiddenRows(selected); });
    m_edit->installEventFilter(this);
    table.installEventFilter(this);
    table.viewport()->installEventFilter(this);
}

bool DetailsFilter::rowMatches(const QTableView& table, int row, const QString& text)
{
    if (text.isEmpty())
        return true;
    const QAbstractItemModel* model = table.model();
    for (int column = 0; column < model->columnCount(); ++column) {
        if (model->index(row, column).data().toString().contains(text, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString DetailsFilter::keyToolTip(const QString& key)
{
    const auto explanation = explainField(key.toStdString());
    if (!explanation)
        return {};
    return key + QStringLiteral(": ") + QString::fromStdString(*explanation);
}

void DetailsFilter::apply()
{
    const QString text = m_edit->text().trimmed();
    const int rows = m_table.model()->rowCount();
    bool hidSelected = false;
    for (int row = 0; row < rows; ++row) {
        const bool hide = !rowMatches(m_table, row, text);
        hidSelected |= hide && m_table.selectionModel() != nullptr &&
                       m_table.selectionModel()->isRowSelected(row, {});
        m_table.setRowHidden(row, hide);
    }
    // A hidden row must not be copied with the visible ones.
    if (hidSelected)
        m_table.clearSelection();
}

void DetailsFilter::deselectHiddenRows(const QItemSelection& selected)
{
    if (m_edit->text().trimmed().isEmpty())
        return;
    QItemSelection hidden;
    for (const QItemSelectionRange& range : selected) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            if (m_table.isRowHidden(row))
                hidden.select(range.model()->index(row, 0), range.model()->index(row, 0));
        }
    }
    if (!hidden.isEmpty())
        m_table.selectionModel()->select(hidden,
                                         QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

bool DetailsFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == m_edit || watched == &m_table)) {
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !m_edit->text().isEmpty()) {
            m_edit->clear();
            return true;
        }
    }
    if (event->type() == QEvent::ToolTip && watched == m_table.viewport()) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = m_table.indexAt(help->pos());
        if (index.isValid() && index.column() == 0) {
            const QString tip = keyToolTip(index.data().toString());
            if (!tip.isEmpty()) {
                QToolTip::showText(help->globalPos(), tip, &m_table);
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

DetailsFilter* installDetailsFilter(MainWindow& window)
{
    return new DetailsFilter(*window.trackDetailsView());
}

}  // namespace vellinor
