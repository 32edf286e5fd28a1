#pragma once

// The "Compare" command of the main window: in the toolbar, in the file list's context menu and
// on Ctrl+D; enabled while 2 to 8 files are selected in the file list; opens a
// ComparisonWindow for them, probed with the delegate's probe options.

#include <QObject>
#include <QPointer>
#include <QStringList>

class QAction;

namespace vellinor {

class AppDelegate;
class ArrayController;
class ComparisonWindow;
class MainWindow;

class CompareAction final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CompareAction)

public:
    CompareAction(MainWindow& window, AppDelegate& delegate);

    [[nodiscard]] QAction* action() const { return m_action; }
    // The paths of the selected file-list entries, in list order.
    [[nodiscard]] QStringList selectedPaths() const;
    // The comparison window opened last, while it is open.
    [[nodiscard]] ComparisonWindow* lastWindow() const;

public Q_SLOTS:
    // Opens a comparison of the selected files (does nothing outside 2..8).
    void compareSelectedFiles();

private:
    void updateEnabled();

    MainWindow& m_window;
    AppDelegate& m_delegate;
    QAction* m_action = nullptr;
    QPointer<ComparisonWindow> m_lastWindow;
};

// Adds the command to `window` (owned by it) and returns it.
CompareAction* installCompareAction(MainWindow& window, AppDelegate& delegate);

}  // namespace vellinor
