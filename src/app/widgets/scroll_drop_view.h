#pragma once

// A table of the window that also takes file drops. Qt's table views are their own scroll
// areas; the drop arrives on the viewport.

#include "app/widgets/table_view.h"

namespace vellinor {

class ScrollDropView : public TableView {
    Q_OBJECT

public:
    explicit ScrollDropView(QWidget* parent = nullptr);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

}  // namespace vellinor
