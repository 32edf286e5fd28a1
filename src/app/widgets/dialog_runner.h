#pragma once

// The window-modal dialogs the delegate asks questions with: the save and folder dialogs and
// alerts. Each
// runs without blocking and reports its answer to a completion function, as a sheet on the
// window would. An interface, so tests can answer in place of a user.

#include <functional>
#include <optional>

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QDialogButtonBox;
class QObject;
class QWidget;

namespace vellinor {

struct SaveDialogRequest {
    QString suggestedName;  // file name proposed in the name field; empty: the dialog's default
    QString nameFilter;     // e.g. "JSON (*.json)"; the only one offered
    QString defaultSuffix;  // added to a name typed without one, e.g. "json"
};

struct AlertRequest {
    QMessageBox::Icon icon = QMessageBox::Information;
    QString messageText;
    QString informativeText;
    QStringList buttons;              // titles, in the order shown; the first is the default
    std::optional<int> escapeButton;  // the button Escape presses; none: Escape does nothing
};

// A failure the user can only acknowledge: a warning with one "OK" button, which Escape presses.
inline AlertRequest warningAlert(const QString& message, const QString& details)
{
    return {QMessageBox::Warning, message, details, {QStringLiteral("OK")}, 0};
}

class DialogRunner {
public:
    DialogRunner() = default;
    virtual ~DialogRunner() = default;
    DialogRunner(const DialogRunner&) = delete;
    DialogRunner& operator=(const DialogRunner&) = delete;

    // `done` is called once, with the chosen path, or an empty text when the user cancelled.
    // It is not called once `context` is gone.
    virtual void runSaveDialog(QWidget* window, const SaveDialogRequest& request,
                               const QObject* context,
                               std::function<void(const QString&)> done) = 0;
    // `done` is called once, with the chosen folder (an existing one, or one made in the
    // dialog), or an empty text when the user cancelled. It is not called once `context` is gone.
    virtual void runFolderDialog(QWidget* window, const QString& title, const QObject* context,
                                 std::function<void(const QString&)> done) = 0;
    // `done` is called once, with the index of the pressed button in `request.buttons`, or -1
    // when the alert closed otherwise. It is not called once `context` is gone.
    virtual void runAlert(QWidget* window, const AlertRequest& request, const QObject* context,
                          std::function<void(int)> done) = 0;
};

// `titles` each with a mnemonic (an "&" before a letter no earlier title took), unless it has
// one already.
QStringList withMnemonics(const QStringList& titles);

// The buttons of `box` (standard ones included: Qt gives "Close" none) with mnemonics, in the
// order the box shows them.
void addMnemonics(QDialogButtonBox& box);

// The real dialogs: QFileDialog and QMessageBox, window-modal on `window`; the alert's buttons
// get mnemonics.
class QtDialogRunner final : public DialogRunner {
public:
    void runSaveDialog(QWidget* window, const SaveDialogRequest& request, const QObject* context,
                       std::function<void(const QString&)> done) override;
    void runFolderDialog(QWidget* window, const QString& title, const QObject* context,
                         std::function<void(const QString&)> done) override;
    void runAlert(QWidget* window, const AlertRequest& request, const QObject* context,
                  std::function<void(int)> done) override;
};

}  // namespace vellinor
