#pragma once

// A one-line label that shows its text cut with an ellipsis when it does not fit; text() stays
// the whole text.

#include <QLabel>

namespace vellinor {

class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vellinor
