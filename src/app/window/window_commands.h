#pragma once

// The keyboard and menu habits of the main window: a menu bar (File, Edit, Help) over the
// toolbar's commands, Delete in the file list, Ctrl+Q, F1, "Copy Report" (Ctrl+Shift+C), Ctrl+C
// in the tracks table for whole rows; Tab moving between the file list, the tracks and the
// details (not from cell to cell); Save and Remove enabled only with a selection; the line
// under the overview that says why a file shows nothing.

#include <QObject>

class QAction;
class QLabel;

namespace vellinor {

class AppDelegate;
class MainWindow;

class WindowCommands final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WindowCommands)

public:
    explicit WindowCommands(MainWindow& window);

    // Connects the commands to `delegate` and gives it the verdict line.
    void connectTo(AppDelegate& delegate);

    [[nodiscard]] QAction* copyReportAction() const { return m_copyReport; }
    [[nodiscard]] QAction* copyTracksAction() const { return m_copyTracks; }
    [[nodiscard]] QAction* removeSelectedFilesAction() const { return m_removeSelected; }
    [[nodiscard]] QAction* quitAction() const { return m_quit; }
    [[nodiscard]] QLabel* verdictLabel() const { return m_verdict; }

private:
    void updateSelectionCommands();

    MainWindow& m_window;
    QAction* m_copyReport = nullptr;
    QAction* m_copyTracks = nullptr;
    QAction* m_removeSelected = nullptr;
    QAction* m_quit = nullptr;
    QLabel* m_verdict = nullptr;
};

}  // namespace vellinor
