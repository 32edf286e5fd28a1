#pragma once

// Home and End in a table. Qt's table view moves Home/End within the current row (invisible
// when whole rows are selected) and, in a table that selects several rows, Ctrl+Home/Ctrl+End
// move the cursor without selecting; a media inspector's tables are lists of rows, so here
// Home/End select the first/last shown row (same column), Ctrl+Home/Ctrl+End also go to the
// first/last column, and Shift extends the selection from the current row.

class QKeyEvent;
class QTableView;

namespace vellinor {

// Acts on a Home or End press in `table`; false (nothing done) for any other key.
bool moveToTableEnd(QTableView& table, const QKeyEvent& event);

// Makes `table` answer Home and End so, for tables that are not a TableView.
void installTableKeys(QTableView& table);

}  // namespace vellinor
