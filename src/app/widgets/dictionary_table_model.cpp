#include "app/widgets/dictionary_table_model.h"

#include <algorithm>
#include <utility>

#include <QGuiApplication>
#include <QPalette>
#include <QUrl>

#include "app/widgets/colored_text.h"

namespace vellinor {

namespace {

bool paletteIsDark()
{
    return QGuiApplication::palette().color(QPalette::Base).lightness() < 128;
}

// What a cell shows: text and numbers as they are; a coloured text by its text.
QVariant displayValue(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<ColoredText>())
        return value.value<ColoredText>().text;
    switch (value.metaType().id()) {
        case QMetaType::QString:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
            return value;
        default:
            return {};
    }
}

}  // namespace

DictionaryTableModel::DictionaryTableModel(QList<TableColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(std::move(columns))
{
}

int DictionaryTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int DictionaryTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant DictionaryTableModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QVariant value = m_rows.at(index.row()).value(m_columns.at(index.column()).key);
    switch (role) {
        case Qt::DisplayRole:
            return displayValue(value);
        case Qt::ToolTipRole: {
            const auto key = m_toolTipKeys.constFind(index.column());
            if (key == m_toolTipKeys.cend())
                return {};
            const QVariant tip = m_rows.at(index.row()).value(*key);
            if (tip.metaType().id() == QMetaType::QUrl)
                return tip.toUrl().isLocalFile() ? tip.toUrl().toLocalFile() : tip.toString();
            return tip.toString();
        }
        case Qt::ForegroundRole:
            if (value.metaType() == QMetaType::fromType<ColoredText>())
                return toneColor(value.value<ColoredText>().tone, paletteIsDark());
            return {};
        default:
            return {};
    }
}

void DictionaryTableModel::setToolTipKey(int column, const QString& key)
{
    m_toolTipKeys.insert(column, key);
}

QVariant DictionaryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_columns.size())
        return {};
    return m_columns.at(section).title;
}

void DictionaryTableModel::setRows(QList<QVariantMap> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void DictionaryTableModel::appendRows(const QList<QVariantMap>& rows)
{
    if (rows.isEmpty())
        return;
    const auto first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    m_rows.append(rows);
    endInsertRows();
}

void DictionaryTableModel::removeRowsAt(QList<int> indexes)
{
    const auto size = static_cast<int>(m_rows.size());
    indexes.removeIf([size](int row) { return row < 0 || row >= size; });
    std::sort(indexes.begin(), indexes.end(), std::greater<>());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    // From the end backwards, one removal per run of adjacent rows, so earlier indexes stay
    // valid while later ones go.
    for (qsizetype i = 0; i < indexes.size();) {
        const int last = indexes.at(i);
        int first = last;
        ++i;
        while (i < indexes.size() && indexes.at(i) == first - 1) {
            first = indexes.at(i);
            ++i;
        }
        beginRemoveRows({}, first, last);
        m_rows.remove(first, last - first + 1);
        endRemoveRows();
    }
}

void DictionaryTableModel::setRowValues(int row, const QVariantMap& values)
{
    if (row < 0 || row >= m_rows.size() || values.isEmpty())
        return;
    QVariantMap& stored = m_rows[row];
    for (auto value = values.cbegin(); value != values.cend(); ++value)
        stored.insert(value.key(), value.value());
    Q_EMIT dataChanged(index(row, 0), index(row, static_cast<int>(m_columns.size()) - 1));
}

void DictionaryTableModel::addColumn(const TableColumn& column)
{
    const auto at = static_cast<int>(m_columns.size());
    beginInsertColumns({}, at, at);
    m_columns.append(column);
    endInsertColumns();
}

void DictionaryTableModel::dropColumn(const QString& key)
{
    const auto at = static_cast<int>(
        std::find_if(m_columns.cbegin(), m_columns.cend(),
                     [&key](const TableColumn& column) { return column.key == key; }) -
        m_columns.cbegin());
    if (at == m_columns.size())
        return;
    beginRemoveColumns({}, at, at);
    m_columns.remove(at);
    // The tooltips of the columns after it move along with them.
    QHash<int, QString> toolTips;
    for (auto tip = m_toolTipKeys.cbegin(); tip != m_toolTipKeys.cend(); ++tip) {
        if (tip.key() != at)
            toolTips.insert(tip.key() > at ? tip.key() - 1 : tip.key(), tip.value());
    }
    m_toolTipKeys = std::move(toolTips);
    endRemoveColumns();
}

}  // namespace vellinor
