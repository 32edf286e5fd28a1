// Home and End in a table: first and last shown row, the column kept or (with Ctrl) the first
// and last one, Shift extending from the current row; plain Qt tables and the window's own.

#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include "app/widgets/table_keys.h"
#include "app/widgets/table_view.h"

namespace vellinor::test {
namespace {

struct Spot {
    int row;
    int column;
    QList<int> selectedRows;
};

Spot spotOf(const QTableView& table)
{
    QList<int> rows;
    for (const QModelIndex& index : table.selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    const QModelIndex current = table.currentIndex();
    return {current.row(), current.column(), rows};
}

TEST(TableKeys, HomeAndEndGoToTheFirstAndLastShownRow)
{
    struct Case {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        Spot expected;
    };
    // Five rows of three columns, the last row hidden (a filter), the cursor on row 2 column 1.
    const Case cases[] = {
        {"Home", Qt::Key_Home, Qt::NoModifier, {0, 1, {0}}},
        {"End", Qt::Key_End, Qt::NoModifier, {3, 1, {3}}},
        {"Ctrl+Home", Qt::Key_Home, Qt::ControlModifier, {0, 0, {0}}},
        {"Ctrl+End", Qt::Key_End, Qt::ControlModifier, {3, 2, {3}}},
        {"Shift+Home", Qt::Key_Home, Qt::ShiftModifier, {0, 1, {0, 1, 2}}},
        {"Shift+End", Qt::Key_End, Qt::ShiftModifier, {3, 1, {2, 3}}},
        {"Ctrl+Shift+End", Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier, {3, 2, {2, 3}}},
    };
    for (const bool ownView : {true, false}) {
        for (const Case& c : cases) {
            QStandardItemModel model(5, 3);
            TableView own;
            QTableView plain;
            QTableView& table = ownView ? static_cast<QTableView&>(own) : plain;
            if (!ownView)
                installTableKeys(plain);
            table.setModel(&model);
            table.setSelectionBehavior(QAbstractItemView::SelectRows);
            table.setSelectionMode(QAbstractItemView::ExtendedSelection);
            table.setRowHidden(4, true);
            table.setCurrentIndex(model.index(2, 1));
            QTest::keyClick(&table, c.key, c.modifiers);
            const Spot spot = spotOf(table);
            const std::string what = std::string(c.name) + (ownView ? " (TableView)" : " (plain)");
            EXPECT_EQ(spot.row, c.expected.row) << what;
            EXPECT_EQ(spot.column, c.expected.column) << what;
            EXPECT_EQ(spot.selectedRows, c.expected.selectedRows) << what;
        }
    }
}

TEST(TableKeys, AnEmptyOrFullyHiddenTableStaysAsItIs)
{
    QStandardItemModel model(2, 1);
    QTableView table;
    installTableKeys(table);
    table.setModel(&model);
    table.setRowHidden(0, true);
    table.setRowHidden(1, true);
    QTest::keyClick(&table, Qt::Key_End);
    EXPECT_FALSE(table.currentIndex().isValid());
    model.setRowCount(0);
    QTest::keyClick(&table, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_FALSE(table.currentIndex().isValid());
}

}  // namespace
}  // namespace vellinor::test
