#include "app/widgets/dialog_runner.h"

#include <utility>

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QList>
#include <QPushButton>

namespace vellinor {

void QtDialogRunner::runSaveDialog(QWidget* window, const SaveDialogRequest& request,
                                   const QObject* context, std::function<void(const QString&)> done)
{
    auto* dialog = new QFileDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(request.nameFilter);
    dialog->setDefaultSuffix(request.defaultSuffix);
    if (!request.suggestedName.isEmpty())
        dialog->selectFile(request.suggestedName);
    QObject::connect(
        dialog, &QDialog::finished, context, [dialog, done = std::move(done)](int result) {
            const QStringList files = dialog->selectedFiles();
            done(result == QDialog::Accepted && !files.isEmpty() ? files.first() : QString());
        });
    dialog->open();
}

void QtDialogRunner::runFolderDialog(QWidget* window, const QString& title, const QObject* context,
                                     std::function<void(const QString&)> done)
{
    auto* dialog = new QFileDialog(window, title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    QObject::connect(
        dialog, &QDialog::finished, context, [dialog, done = std::move(done)](int result) {
            const QStringList folders = dialog->selectedFiles();
            done(result == QDialog::Accepted && !folders.isEmpty() ? folders.first() : QString());
        });
    dialog->open();
}

// `titles` with a mnemonic each: the first letter of a title that no earlier title took, so
// every button answers Alt+letter ("&OK", "&Show in File Manager", "Open &in Text Editor").
QStringList withMnemonics(const QStringList& titles)
{
    QString taken;
    QStringList marked;
    for (const QString& title : titles) {
        if (const qsizetype amp = title.indexOf(u'&'); amp >= 0) {
            // Its letter is taken too.
            if (amp + 1 < title.size())
                taken.append(title.at(amp + 1).toLower());
            marked.append(title);
            continue;
        }
        qsizetype at = -1;
        // Word starts first, then any letter.
        for (qsizetype i = 0; i < title.size() && at < 0; ++i) {
            const bool wordStart = i == 0 || !title.at(i - 1).isLetterOrNumber();
            if (wordStart && title.at(i).isLetter() && !taken.contains(title.at(i).toLower()))
                at = i;
        }
        for (qsizetype i = 0; i < title.size() && at < 0; ++i) {
            if (title.at(i).isLetter() && !taken.contains(title.at(i).toLower()))
                at = i;
        }
        if (at < 0) {
            marked.append(title);
            continue;
        }
        taken.append(title.at(at).toLower());
        marked.append(title.left(at) + u'&' + title.mid(at));
    }
    return marked;
}

void addMnemonics(QDialogButtonBox& box)
{
    const QList<QAbstractButton*> buttons = box.buttons();
    QStringList titles;
    for (const QAbstractButton* button : buttons)
        titles.append(button->text());
    const QStringList marked = withMnemonics(titles);
    for (qsizetype i = 0; i < buttons.size(); ++i)
        buttons.at(i)->setText(marked.at(i));
}

void QtDialogRunner::runAlert(QWidget* window, const AlertRequest& request, const QObject* context,
                              std::function<void(int)> done)
{
    auto* alert = new QMessageBox(window);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->setIcon(request.icon);
    alert->setText(request.messageText);
    alert->setInformativeText(request.informativeText);
    // One role for all, so the buttons stay in the order given whatever the style's layout.
    QList<QAbstractButton*> buttons;
    for (const QString& title : withMnemonics(request.buttons))
        buttons.append(alert->addButton(title, QMessageBox::ActionRole));
    if (!buttons.isEmpty())
        alert->setDefaultButton(qobject_cast<QPushButton*>(buttons.first()));
    if (request.escapeButton && *request.escapeButton >= 0 &&
        *request.escapeButton < buttons.size())
        alert->setEscapeButton(buttons.at(*request.escapeButton));
    QObject::connect(alert, &QDialog::finished, context,
                     [alert, buttons, done = std::move(done)](int) {
                         done(static_cast<int>(buttons.indexOf(alert->clickedButton())));
                     });
    alert->open();
}

}  // namespace vellinor
