#pragma once

// The main window, laid out by main_window.ui: the file list, the poster, the file-name label,
// the overview, the tracks and the track details, and the toolbar. It holds the tables'
// array controllers and connects the delegate's outlets and actions.

#include <array>
#include <memory>

#include <QMainWindow>

class QAction;
class QLabel;

namespace Ui {
class MainWindow;
}

namespace vellinor {

class AppDelegate;
class ArrayController;
class DropView;
class ImageDropView;
class ScrollDropView;
class WindowCommands;

class MainWindow final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Sets the delegate's outlets to this window's views and controllers and connects the
    // toolbar and context-menu commands to its actions.
    void connectOutlets(AppDelegate& delegate);

    [[nodiscard]] ArrayController* fileListArrayController() const { return m_fileList; }
    [[nodiscard]] ArrayController* overviewArrayController() const { return m_overview; }
    [[nodiscard]] ArrayController* tracksArrayController() const { return m_tracks; }
    [[nodiscard]] ArrayController* trackDetailsArrayController() const { return m_trackDetails; }

    [[nodiscard]] DropView* dropView() const;
    [[nodiscard]] ImageDropView* posterView() const;
    [[nodiscard]] QLabel* filePathLabel() const;
    [[nodiscard]] ScrollDropView* fileListView() const;
    [[nodiscard]] ScrollDropView* overviewView() const;
    [[nodiscard]] ScrollDropView* tracksView() const;
    [[nodiscard]] ScrollDropView* trackDetailsView() const;

    [[nodiscard]] QAction* openAction() const;
    [[nodiscard]] QAction* removeAction() const;
    [[nodiscard]] QAction* saveAction() const;
    [[nodiscard]] QAction* helpAction() const;
    [[nodiscard]] QAction* showInFileManagerAction() const;
    [[nodiscard]] QAction* copyDetailsAction() const;
    // Menus, keyboard commands, the verdict line.
    [[nodiscard]] WindowCommands* commands() const { return m_commands; }

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setUpTables();
    void setUpToolBar();
    void fitOverviewHeight();
    // `room`: the overview's width inside its frame; -1: as it is now.
    void fitOverviewColumns(int room = -1);

    std::unique_ptr<Ui::MainWindow> m_ui;
    ArrayController* m_fileList = nullptr;
    ArrayController* m_overview = nullptr;
    ArrayController* m_tracks = nullptr;
    ArrayController* m_trackDetails = nullptr;
    WindowCommands* m_commands = nullptr;
};

// The overview's column widths (label, value, label, value) for `room` pixels, from the widths
// their contents want: with room to spare the right pair starts halfway across; short of room
// the gap between the pairs, then the values, then the labels give way, never past `room`.
std::array<int, 4> overviewColumnWidths(std::array<int, 4> natural, int room, int charWidth);

}  // namespace vellinor
