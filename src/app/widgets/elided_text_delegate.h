#pragma once

// Draws cells as usual; a cell whose text does not fit (and is shown elided) gets its full
// text as a tooltip.

#include <QStyledItemDelegate>

namespace vellinor {

class ElidedTextDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Whether the text of `index` is wider than the room the view gives it.
    [[nodiscard]] bool isElided(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};

}  // namespace vellinor
