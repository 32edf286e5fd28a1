#pragma once

// A text shown in a colour: the Yes/No answers of the overview. Stored as a cell value in the
// table dictionaries; the table model shows its text and gives its colour as the foreground.

#include <QColor>
#include <QMetaType>
#include <QString>

namespace vellinor {

struct ColoredText {
    enum class Tone { good, bad };
    QString text;
    Tone tone = Tone::good;

    friend bool operator==(const ColoredText&, const ColoredText&) = default;
};

// The green or red for `tone`, chosen to stay readable on a light or a dark background.
QColor toneColor(ColoredText::Tone tone, bool darkBackground);

}  // namespace vellinor

Q_DECLARE_METATYPE(vellinor::ColoredText)
