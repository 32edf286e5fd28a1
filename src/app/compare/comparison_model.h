#pragma once

// The comparison of several files (probe/comparison.h) as a table: a marker column ("≠" on the
// rows whose facts differ), the track, the fact, then one column per file. Differing rows get a
// tinted background that reads on light and dark palettes; the switch onlyDifferences hides the
// other rows. The fact's tooltip explains the detail key it comes from; a file's header gives
// its path, or why it could not be probed.

#include <QAbstractTableModel>
#include <QColor>

#include "probe/comparison.h"

namespace vellinor {

class ComparisonModel final : public QAbstractTableModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ComparisonModel)

public:
    enum Column { markerColumn, trackColumn, factColumn, firstFileColumn };
    // The marker of a differing row, readable without colour.
    static const QString differenceMarker;

    explicit ComparisonModel(QObject* parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role = Qt::DisplayRole) const override;

    // Replaces the comparison (one model reset).
    void setComparison(Comparison comparison);
    [[nodiscard]] const Comparison& comparison() const { return m_all; }
    // What the table shows: all rows, or only the differing ones.
    [[nodiscard]] const Comparison& shown() const
    {
        return m_onlyDifferences ? m_differing : m_all;
    }

    void setOnlyDifferences(bool only);
    [[nodiscard]] bool onlyDifferences() const { return m_onlyDifferences; }

    // The background of a differing row: amber, half transparent, so it tints a light base and
    // a dark one alike while the text keeps the palette's own colour.
    static QColor differenceTint();

private:
    Comparison m_all;
    Comparison m_differing;
    bool m_onlyDifferences = false;
};

}  // namespace vellinor
