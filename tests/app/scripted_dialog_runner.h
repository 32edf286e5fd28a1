#pragma once

// A DialogRunner that answers in place of the user, at once, and keeps every question asked.

#include <functional>
#include <utility>

#include <QList>
#include <QString>
#include <QStringList>

#include "app/widgets/dialog_runner.h"

namespace vellinor::test {

class ScriptedDialogRunner final : public DialogRunner {
public:
    void runSaveDialog(QWidget*, const SaveDialogRequest& request, const QObject*,
                       std::function<void(const QString&)> done) override
    {
        saveRequests.append(request);
        if (beforeSaveAnswer)
            beforeSaveAnswer();
        done(savePath);
    }

    void runFolderDialog(QWidget*, const QString& title, const QObject*,
                         std::function<void(const QString&)> done) override
    {
        folderRequests.append(title);
        done(folderPath);
    }

    void runAlert(QWidget*, const AlertRequest& request, const QObject*,
                  std::function<void(int)> done) override
    {
        alerts.append(request);
        done(alertAnswers.isEmpty() ? 0 : alertAnswers.takeFirst());
    }

    QString savePath;                        // the save dialog's answer; empty: cancelled
    std::function<void()> beforeSaveAnswer;  // runs while the save dialog is "open"
    QString folderPath;                      // the folder dialog's answer; empty: cancelled
    QList<int> alertAnswers;                 // pressed buttons, one per alert; then the first

    QList<SaveDialogRequest> saveRequests;
    QStringList folderRequests;  // the folder dialogs' titles
    QList<AlertRequest> alerts;
};

}  // namespace vellinor::test
