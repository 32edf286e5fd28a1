#pragma once

// The window's table view: signals each change of its selection (with itself, so one receiver
// can tell the tables apart), remembers the row under the pointer while its
// context menu is open (clickedRow), offers its actions in that menu, and goes to its first or
// last row on Home and End (table_keys.h).

#include <QTableView>

namespace vellinor {

class TableView : public QTableView {
    Q_OBJECT

public:
    explicit TableView(QWidget* parent = nullptr);

    // The row the context menu was opened on, while its command runs; -1 when the menu was
    // opened below the last row, and outside a context menu.
    [[nodiscard]] int clickedRow() const { return m_clickedRow; }
    // The cell a row command acts on: the one the context menu was opened on while it is open
    // (invalid below the last row), else the current cell (a key or a test runs the command).
    [[nodiscard]] QModelIndex commandIndex() const;

Q_SIGNALS:
    // The selection changed (selected or deselected rows, a reset of the rows).
    void selectionDidChange(vellinor::TableView* table);
    // The context menu is about to show, commandIndex() set: its commands may update.
    void contextMenuAboutToShow();

protected:
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int m_clickedRow = -1;
    QPersistentModelIndex m_clickedIndex;
    bool m_inContextMenu = false;
};

}  // namespace vellinor
