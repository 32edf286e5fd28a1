#pragma once

// The "Bitrate" command of the main window: in the toolbar, in the file list's context menu and
// on Ctrl+B; enabled while exactly one file is selected; opens its BitrateWindow (or raises the
// one already open for it).

#include <QObject>
#include <QPointer>

class QAction;

namespace vellinor {

class BitrateWindow;
class MainWindow;

class BitrateAction final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BitrateAction)

public:
    explicit BitrateAction(MainWindow& window);

    [[nodiscard]] QAction* action() const { return m_action; }
    // The window opened last, while it is open.
    [[nodiscard]] BitrateWindow* lastWindow() const;

public Q_SLOTS:
    void showBitrateOfSelectedFile();

private:
    [[nodiscard]] QString selectedPath() const;
    void updateEnabled();

    MainWindow& m_window;
    QAction* m_action = nullptr;
    QPointer<BitrateWindow> m_lastWindow;
};

// Adds the command to `window` (owned by it) and returns it.
BitrateAction* installBitrateAction(MainWindow& window);

}  // namespace vellinor
