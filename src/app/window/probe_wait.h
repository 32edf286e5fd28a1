#pragma once

// While a probe makes the window wait: a Cancel button beside "Reading this file (size)…",
// which gives up on the file; and Quit (Ctrl+Q, or closing the window), which ends every probe
// tool child at once instead of waiting for it, so the program ends now. A save already
// writing completes (its write is atomic); one still probing writes nothing.

class QPushButton;

namespace vellinor {

class AppDelegate;
class MainWindow;

// Adds the Cancel button under the overview and makes quitting end the probe children.
QPushButton* installProbeWait(MainWindow& window, AppDelegate& delegate);

// Ends every probe tool child and refuses new ones: the program is quitting.
void endProbesForQuit();

}  // namespace vellinor
