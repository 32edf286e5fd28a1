#include "app/sheet/sheet_model.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "format/csv_text.h"
#include "probe/csv_row.h"
#include "probe/file_probe.h"

namespace vellinor {
namespace {

// The CSV columns by name, for the ones with their own texts and sort keys.
enum Column { path = 0, size = 1, duration = 2, resolution = 5, frameRate = 6, bitRate = 10 };

QString text(const std::string& value)
{
    return QString::fromStdString(value);
}

// "1920x1080" sorts by its pixels, then by its width; anything else as text.
QVariant resolutionKey(const std::string& value)
{
    const QString dimension = text(value);
    const qsizetype cross = dimension.indexOf(u'x');
    bool wide = false;
    bool high = false;
    const qlonglong width = dimension.left(cross).toLongLong(&wide);
    const qlonglong height = dimension.mid(cross + 1).toLongLong(&high);
    if (cross < 0 || !wide || !high)
        return dimension;
    return static_cast<double>(width * height) + static_cast<double>(width) / 1e6;
}

QVariant numberKey(const std::string& value)
{
    bool ok = false;
    const double number = text(value).toDouble(&ok);
    return ok && std::isfinite(number) ? QVariant(number) : QVariant(text(value));
}

bool isNumber(const QVariant& value)
{
    return value.typeId() == QMetaType::Double;
}

}  // namespace

SheetFacts SheetFacts::of(const std::string& path, const FileProbe& probe,
                          const std::string& problem)
{
    SheetFacts facts;
    facts.fields = csvFields(path, probe, problem);
    for (std::size_t column = 0; column < facts.fields.size(); ++column) {
        const std::string& field = facts.fields[column];
        QString shown = text(field);
        QVariant key = shown;
        if (!field.empty()) {
            switch (column) {
                case size:
                    shown = text(probe.fileSizeHuman.value_or(field));
                    key = numberKey(field);
                    break;
                case duration:
                    shown = text(probe.durationHuman.value_or(field));
                    key = numberKey(field);
                    break;
                case bitRate:
                    shown = text(probe.bitrateHuman.value_or(field));
                    key = numberKey(field);
                    break;
                case frameRate:
                    key = numberKey(field);
                    break;
                case resolution:
                    key = resolutionKey(field);
                    break;
                default:
                    break;
            }
        }
        facts.texts.append(shown);
        facts.sortKeys.append(key);
    }
    return facts;
}

const QStringList& SheetModel::columnNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const std::string& name : csvColumns())
            list.append(text(name));
        return list;
    }();
    return names;
}

const QStringList& SheetModel::columnTitles()
{
    // "video_codec" reads "Video Codec".
    static const QStringList titles = [] {
        QStringList list;
        for (const QString& name : columnNames()) {
            QStringList words = name.split(u'_');
            for (QString& word : words)
                word[0] = word[0].toUpper();
            list.append(words.join(u' '));
        }
        return list;
    }();
    return titles;
}

void SheetModel::setPaths(const QStringList& paths)
{
    beginResetModel();
    m_paths = paths;
    // Facts of files no longer listed are dropped; the others stay.
    const std::set<QString> listed(paths.begin(), paths.end());
    std::erase_if(m_facts, [&listed](const auto& entry) { return listed.count(entry.first) == 0; });
    endResetModel();
}

void SheetModel::setFacts(const QString& path, SheetFacts facts)
{
    m_facts.insert_or_assign(path, std::move(facts));
    for (int row = 0; row < m_paths.size(); ++row) {
        if (m_paths.at(row) == path)
            Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
    }
}

int SheetModel::pendingRows() const
{
    return static_cast<int>(std::count_if(m_paths.begin(), m_paths.end(),
                                          [this](const QString& p) { return !hasFacts(p); }));
}

std::string SheetModel::csv(const std::vector<int>& rows, std::vector<int> columns) const
{
    std::sort(columns.begin(), columns.end());
    columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
    std::vector<std::string> header;
    for (const int column : columns)
        header.push_back(columnNames().value(column).toStdString());
    std::string out = csv::record(header);
    for (const int row : rows) {
        const QString& rowPath = m_paths.at(row);
        const auto facts = m_facts.find(rowPath);
        std::vector<std::string> record;
        for (const int column : columns) {
            if (facts != m_facts.end())
                record.push_back(facts->second.fields.at(static_cast<std::size_t>(column)));
            else
                record.push_back(column == path ? rowPath.toStdString() : std::string());
        }
        out += csv::record(record);
    }
    return out;
}

int SheetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_paths.size());
}

int SheetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columnNames().size());
}

QVariant SheetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_paths.size())
        return {};
    const QString& rowPath = m_paths.at(index.row());
    const auto found = m_facts.find(rowPath);
    if (found == m_facts.end()) {
        if (index.column() == path)
            return role == Qt::DisplayRole || role == Qt::ToolTipRole || role == kSortRole
                       ? QVariant(rowPath)
                       : QVariant();
        return role == Qt::DisplayRole && index.column() == columnCount() - 1
                   ? QVariant(tr("Reading\u2026"))
                   : QVariant();
    }
    const SheetFacts* facts = &found->second;
    switch (role) {
        case Qt::DisplayRole:
            return facts->texts.value(index.column());
        case Qt::ToolTipRole:
            // The whole text, however narrow the column.
            return facts->texts.value(index.column()).isEmpty()
                       ? QVariant()
                       : QVariant(facts->texts.value(index.column()));
        case kSortRole:
            return facts->sortKeys.value(index.column());
        case Qt::TextAlignmentRole:
            if (index.column() == size || index.column() == duration || index.column() == bitRate ||
                index.column() == frameRate)
                return QVariant(Qt::AlignRight | Qt::AlignVCenter);
            return {};
        default:
            return {};
    }
}

QVariant SheetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return columnTitles().value(section);
}

SheetFilterModel::SheetFilterModel(QObject* parent) : QSortFilterProxyModel(parent)
{
    setSortRole(SheetModel::kSortRole);
}

void SheetFilterModel::setFilterText(const QString& text)
{
    m_filterText = text;
    invalidateFilter();
}

void SheetFilterModel::setHiddenColumns(const QList<int>& columns)
{
    m_hidden = columns;
    invalidateFilter();
}

bool SheetFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QString& wanted = m_filterText;
    if (wanted.isEmpty())
        return true;
    const QAbstractItemModel* source = sourceModel();
    for (int column = 0; column < source->columnCount(sourceParent); ++column) {
        if (m_hidden.contains(column))
            continue;
        const QString cell = source->index(sourceRow, column, sourceParent).data().toString();
        if (cell.contains(wanted, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool SheetFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const QVariant a = left.data(SheetModel::kSortRole);
    const QVariant b = right.data(SheetModel::kSortRole);
    // Numbers before texts (an empty cell is the empty text), numbers by value.
    if (isNumber(a) && isNumber(b))
        return a.toDouble() < b.toDouble();
    if (isNumber(a) != isNumber(b))
        return isNumber(b);
    return QString::compare(a.toString(), b.toString(), Qt::CaseInsensitive) < 0;
}

}  // namespace vellinor
