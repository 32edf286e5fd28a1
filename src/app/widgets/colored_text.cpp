#include "app/widgets/colored_text.h"

namespace vellinor {

QColor toneColor(ColoredText::Tone tone, bool darkBackground)
{
    // Contrast of at least 4.5:1 against white (light) or against #2b2b2b (dark).
    if (tone == ColoredText::Tone::good)
        return darkBackground ? QColor(0x3f, 0xb9, 0x50) : QColor(0x1a, 0x7f, 0x37);
    return darkBackground ? QColor(0xff, 0x6b, 0x63) : QColor(0xc4, 0x1e, 0x2a);
}

}  // namespace vellinor
