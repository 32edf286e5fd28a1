#pragma once

// Escape and Ctrl+W close a window of its own (Compare, Bitrate), as they close the sheet and
// the report.

class QWidget;

namespace vellinor {

void closeOnEscapeOrCtrlW(QWidget& window);

}  // namespace vellinor
