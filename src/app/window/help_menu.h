#pragma once

// The Help menu beyond the help sheet (F1): "Keyboard Shortcuts", a list of every key the
// window answers, read from its commands so a new command is listed without further work; and
// "About Vellinor": the version, the probe tool's identity and the libav versions it runs
// on, and where the probe cache is and how big it has grown.

#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

namespace vellinor {

class AppDelegate;
class MainWindow;

// One row of the shortcuts list: what the keys do, and the keys.
struct ShortcutRow {
    QString command;
    QString keys;
};

// The rows for `window`: its commands with keys (menus, toolbar, tables), then the keys that
// belong to no command (Tab, Delete, Home/End, Escape).
QList<ShortcutRow> keyboardShortcuts(const QWidget& window);

// The About text's lines. `toolIdentity` as the probe tool reports it ("sniffer 0.1.0
// libavformat 59.27.100 libavcodec 59.37.100 libavutil 57.28.100 build ..."); the cache as
// its database path (empty: the cache is off).
QStringList aboutLines(const QString& version, const QString& toolIdentity,
                       const QString& cachePath);

void installHelpMenu(MainWindow& window, AppDelegate& delegate);

}  // namespace vellinor
