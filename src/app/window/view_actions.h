#pragma once

// The View menu: the displayed file's report as text (Ctrl+T) and the sheet of all files
// (Ctrl+Shift+L), each a window of its own made when first asked for; and the window title,
// which names the displayed file.

#include <QObject>
#include <QPointer>

class QAction;

namespace vellinor {

class AppDelegate;
class MainWindow;
class ReportTextWindow;
class SheetWindow;

class ViewActions final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ViewActions)

public:
    ViewActions(MainWindow& window, AppDelegate& delegate);

    [[nodiscard]] QAction* reportTextAction() const { return m_reportText; }
    [[nodiscard]] QAction* sheetAction() const { return m_sheet; }
    // The windows, once opened (null before).
    [[nodiscard]] ReportTextWindow* reportTextWindow() const;
    [[nodiscard]] SheetWindow* sheetWindow() const;

    void showReportText();
    void showSheet();

private:
    void updateTitle();

    MainWindow& m_window;
    AppDelegate& m_delegate;
    QAction* m_reportText = nullptr;
    QAction* m_sheet = nullptr;
    QPointer<ReportTextWindow> m_reportWindow;
    QPointer<SheetWindow> m_sheetWindow;
};

ViewActions* installViewActions(MainWindow& window, AppDelegate& delegate);

}  // namespace vellinor
