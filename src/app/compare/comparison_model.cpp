#include "app/compare/comparison_model.h"

#include <QFont>

#include "probe/field_explanations.h"

namespace vellinor {

namespace {

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

const QString ComparisonModel::differenceMarker = QStringLiteral("≠");

ComparisonModel::ComparisonModel(QObject* parent) : QAbstractTableModel(parent) {}

int ComparisonModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(shown().rows.size());
}

int ComparisonModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : firstFileColumn + static_cast<int>(m_all.files.size());
}

QVariant ComparisonModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ComparisonRow& row = shown().rows.at(static_cast<std::size_t>(index.row()));
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            if (column == markerColumn) {
                if (role == Qt::ToolTipRole)
                    return row.differs ? tr("The files differ in this fact") : QVariant();
                return row.differs ? differenceMarker : QString();
            }
            if (column == trackColumn)
                return role == Qt::DisplayRole ? fromUtf8(row.track) : QVariant();
            if (column == factColumn) {
                if (role == Qt::DisplayRole)
                    return fromUtf8(row.fact);
                if (row.key.empty())
                    return {};
                const auto explanation = explainField(row.key);
                return QString(fromUtf8(row.key) +
                               (explanation ? QString(QStringLiteral(": ") + fromUtf8(*explanation))
                                            : QString()));
            }
            if (const auto& cell = row.cells.at(static_cast<std::size_t>(column - firstFileColumn)))
                return fromUtf8(*cell);
            return {};
        case Qt::BackgroundRole:
            return row.differs ? QVariant(differenceTint()) : QVariant();
        case Qt::FontRole:
            if (row.differs && column != trackColumn) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        case Qt::TextAlignmentRole:
            return column == markerColumn ? QVariant(Qt::AlignCenter) : QVariant();
        default:
            return {};
    }
}

QVariant ComparisonModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (section < firstFileColumn) {
        if (role != Qt::DisplayRole)
            return {};
        switch (section) {
            case trackColumn:
                return tr("Track");
            case factColumn:
                return tr("Fact");
            default:
                return QString();
        }
    }
    const ComparedFile& file = m_all.files.at(static_cast<std::size_t>(section - firstFileColumn));
    switch (role) {
        case Qt::DisplayRole:
            if (file.isPending())
                return tr("%1 (probing…)").arg(fromUtf8(file.name));
            if (!file.problem.empty())
                return QString(QStringLiteral("⚠ ") + fromUtf8(file.name));
            return fromUtf8(file.name);
        case Qt::ToolTipRole:
            return file.problem.empty()
                       ? fromUtf8(file.path)
                       : QString(fromUtf8(file.path) + u'\n' + fromUtf8(file.problem));
        default:
            return {};
    }
}

void ComparisonModel::setComparison(Comparison comparison)
{
    beginResetModel();
    m_all = std::move(comparison);
    m_differing = vellinor::onlyDifferences(m_all);
    endResetModel();
}

void ComparisonModel::setOnlyDifferences(bool only)
{
    if (only == m_onlyDifferences)
        return;
    beginResetModel();
    m_onlyDifferences = only;
    endResetModel();
}

QColor ComparisonModel::differenceTint()
{
    return {255, 170, 0, 72};
}

}  // namespace vellinor
