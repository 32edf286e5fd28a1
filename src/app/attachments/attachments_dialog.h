#pragma once

// The "Pictures and Attachments" window: every embedded picture and attachment of one media
// file (name, MIME type, size, description), read off the window's thread, with "Save...",
// "Save All..." and drag and drop to save them.

#include <memory>
#include <vector>

#include <QDialog>
#include <QFutureWatcher>
#include <QString>

#include "base/expected.h"
#include "probe/embedded_artwork.h"
#include "probe/embedded_files.h"

class QLabel;
class QPushButton;

namespace vellinor {

class ArrayController;
class DialogRunner;
class TableView;
class ToolRunner;

class AttachmentsDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AttachmentsDialog)

public:
    // `dialogs` asks where to save; it must outlive the dialog. The sniffer reads the files
    // through `runner` (null: one-shot runs).
    AttachmentsDialog(DialogRunner& dialogs, QWidget* parent,
                      std::shared_ptr<ToolRunner> runner = nullptr);
    ~AttachmentsDialog() override;

    // Lists the pictures and attachments of the media file at `path` (local), read in the
    // background; the list is empty until then. An empty path clears the list.
    void showFile(const QString& path);
    [[nodiscard]] const QString& mediaPath() const { return m_path; }
    [[nodiscard]] bool isReading() const { return m_isReading; }

    [[nodiscard]] ArrayController* list() const { return m_list; }
    [[nodiscard]] TableView* listView() const { return m_view; }
    [[nodiscard]] QLabel* statusLabel() const { return m_status; }
    [[nodiscard]] QPushButton* saveButton() const { return m_save; }
    [[nodiscard]] QPushButton* saveAllButton() const { return m_saveAll; }

    // Asks where to save the selected row's file, or a folder for all of them.
    void saveSelected();
    void saveAll();

Q_SIGNALS:
    // The list now shows what was read for mediaPath().
    void listed();

private:
    using Reading = Expected<EmbeddedReading>;

    void readingFinished();
    void updateButtons();
    void dragSelected();
    [[nodiscard]] int selectedRow() const;
    [[nodiscard]] QString proposedName(int row) const;

    DialogRunner& m_dialogs;
    std::shared_ptr<ToolRunner> m_runner;
    QString m_path;
    std::vector<EmbeddedFile> m_files;
    QFutureWatcher<Reading> m_reading;
    bool m_isReading = false;
    QLabel* m_status = nullptr;
    TableView* m_view = nullptr;
    ArrayController* m_list = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_saveAll = nullptr;
};

}  // namespace vellinor
