#pragma once

// The whole displayed file as text, as `vellinor-cli --details` prints it: selectable, with a
// find field (Ctrl+F; Enter finds the next match, Shift+Enter the previous one). It follows the
// main window's display, and says so when no file is displayed.

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace vellinor {

class AppDelegate;

class ReportTextWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReportTextWindow)

public:
    explicit ReportTextWindow(AppDelegate& delegate, QWidget* parent = nullptr);
    ~ReportTextWindow() override;

    [[nodiscard]] QPlainTextEdit* textView() const { return m_text; }
    [[nodiscard]] QLineEdit* findField() const { return m_find; }
    [[nodiscard]] QLabel* findStatus() const { return m_findStatus; }

    // Selects the next (or previous) match of the find field's text, wrapping at the end;
    // false when there is none.
    bool findNext(bool backwards = false);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showDisplayedFile();

    AppDelegate& m_delegate;
    QPlainTextEdit* m_text = nullptr;
    QLineEdit* m_find = nullptr;
    QLabel* m_findStatus = nullptr;
};

}  // namespace vellinor
