#pragma once

// Finding a field in the track details: a filter box above the details table (Ctrl+F) keeps
// the rows whose key or value contains the typed text, without regard to case; Escape clears
// it; it stays while another track is selected. Hovering a key shows what the field means
// (probe/field_explanations.h).

#include <QObject>
#include <QString>

class QItemSelection;
class QLineEdit;
class QTableView;

namespace vellinor {

class MainWindow;

class DetailsFilter final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DetailsFilter)

public:
    // Puts the box above `table` (which sits in a splitter or a layout).
    explicit DetailsFilter(QTableView& table);

    [[nodiscard]] QLineEdit* lineEdit() const { return m_edit; }
    // Whether row `row` of the table's model shows with `text` as the filter.
    [[nodiscard]] static bool rowMatches(const QTableView& table, int row, const QString& text);

    // The tooltip of the details key `key`: the key and what it means; empty when nothing is
    // known about it.
    [[nodiscard]] static QString keyToolTip(const QString& key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply();
    void deselectHiddenRows(const QItemSelection& selected);

    QTableView& m_table;
    QLineEdit* m_edit = nullptr;
};

// Adds the filter and the key tooltips to the window's details table (owned by the window).
DetailsFilter* installDetailsFilter(MainWindow& window);

}  // namespace vellinor
