#pragma once

// AppDelegate: owns what the window shows and answers the application's events: launch and
// quit bookkeeping, reopen, open requests, the toolbar commands, drops, and the display of the
// selected file and track.

#include <optional>

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include "app/widgets/dialog_runner.h"
#include "app/window/background_probe.h"
#include "probe/file_probe.h"

class QLabel;
class QWidget;

namespace vellinor {

class ArrayController;
class DesktopServices;
class ImageDropView;
class TableView;
class UserDefaults;
struct Notification;

class AppDelegate final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppDelegate)

public:
    explicit AppDelegate(DesktopServices& desktopServices, QObject* parent = nullptr);
    ~AppDelegate() override;

    // ---- Outlets: connected by the main window before applicationDidFinishLaunching. An
    // operation whose outlets are not connected does nothing. ----
    QPointer<QWidget> window;
    QPointer<ImageDropView> posterIMG;
    QPointer<QLabel> filePathLBL;
    QPointer<ArrayController> fileListArrayController;
    QPointer<ArrayController> overviewArrayController;
    QPointer<ArrayController> tracksArrayController;
    QPointer<ArrayController> trackDetailsArrayController;
    QPointer<QWidget> informationView;
    QPointer<TableView> fileListTableView;
    QPointer<TableView> tracksTableView;
    // The line under the overview that says why a file shows nothing (hidden for a good file).
    QPointer<QLabel> verdictLBL;
    UserDefaults* userDefaults = nullptr;

    // The version of the running build; none for a build without one. Set before launch.
    void setRunningVersion(std::optional<QString> version);
    // How files are probed (the tool to run, its time limit).
    void setProbeOptions(ProbeOptions options);
    [[nodiscard]] const ProbeOptions& probeOptions() const { return m_probeOptions; }
    // Who asks the save dialog's and the alerts' questions; by default the real dialogs.
    // `dialogs` must outlive the delegate.
    void setDialogRunner(DialogRunner& dialogs) { m_dialogs = &dialogs; }
    [[nodiscard]] DialogRunner& dialogRunner() const { return *m_dialogs; }

    // ---- Application events ----
    // Counts the launch and registers for drops and table selection changes.
    void applicationDidFinishLaunching();
    // Asks for a rating when the stored launch count is a multiple of 10.
    void applicationWillTerminate();
    // Brings the window forward: shown and made active when it was not visible, else raised.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    [[nodiscard]] bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    // Adds one file-list entry per URL, in order, nothing filtered; the last one is shown.
    void openURLs(const QList<QUrl>& urls);

public Q_SLOTS:
    void openToolBarBTNClicked();
    void filesAddedByDragAndDropWithNotification(const vellinor::Notification& notification);
    void removeMediaBTNClicked();
    // Reveals the file of the file list's clicked row (not the selection).
    void showInFinderAction();
    // A selection change of the file list shows the selected file, one of the tracks table the
    // selected track's details; any other table is not the delegate's.
    void oneOfTheTableViewsSelectionChangedWithNotification(const vellinor::TableView* table);
    void showSelectedFile();
    void showSelectedTrack();
    // Copies the selected track-details rows as "key<TAB>value" lines.
    void copySelectedTrackDetails();
    // Copies the selected rows of the tracks table as tab-separated cells, one line a row.
    void copySelectedTracks();
    // Puts the displayed file's text report (as `vellinor-cli --details` prints it) on the
    // clipboard.
    void copyReport();
    // Gives up waiting for the probe of the file asked for: the display says so and shows
    // nothing of it (a later selection of the file probes it again).
    void cancelProbe();
    // Saves the selected file's probe report as JSON, then offers to show or open it.
    void saveBTNClicked();
    // The contact sheet: the maker's other applications, a rating, or close.
    void helpBTNClicked();

public:
    // True while a probe or a save runs off the UI thread.
    [[nodiscard]] bool isBusy() const { return m_prober.isWorking(); }
    // True while a file is displayed (not after the display was cleared).
    [[nodiscard]] bool hasDisplayedFile() const { return m_displayed != nullptr; }
    // The file on display and the name it is listed under (null and empty when none).
    [[nodiscard]] std::shared_ptr<const FileProbe> displayedProbe() const { return m_displayed; }
    [[nodiscard]] const QString& displayedName() const { return m_displayedName; }
    [[nodiscard]] BackgroundProbe& backgroundProbe() { return m_prober; }

Q_SIGNALS:
    // A file's facts were put on display, or the display was cleared.
    void displayChanged();
    // Every probe and save has finished.
    void idle();

private:
    void displayProbedFile(const ProbedFile& file);
    void showBusyDisplay(bool busy);
    void showRequestedSize(const QString& path, qint64 bytes);
    [[nodiscard]] QString readingText() const;
    // No file on display: the label's invitation, no poster, empty tables.
    void clearDisplay();
    // Empty poster, tables and verdict line; nothing displayed.
    void clearShownFacts();
    void setVerdictLine(const QString& text);
    void addEntries(const QList<QUrl>& urls);
    void saveReportTo(const QString& chosenPath);
    void reportSaved(const QString& path, const QString& mediaName, bool probed,
                     const QString& missingReason, const std::optional<QString>& writeError);
    void showWarning(const QString& message, const QString& details);

    DesktopServices& m_desktopServices;
    std::optional<QString> m_runningVersion;
    ProbeOptions m_probeOptions;
    QtDialogRunner m_qtDialogs;
    DialogRunner* m_dialogs = &m_qtDialogs;
    // The entry the latest display request is for, and what is displayed.
    QString m_requestedName;
    QString m_requestedPath;
    std::optional<qint64> m_requestedSize;  // once the worker has read it
    QString m_displayedName;
    std::shared_ptr<const FileProbe> m_displayed;
    // Last: destroyed first, waiting for its workers while the rest still exists.
    BackgroundProbe m_prober;
};

}  // namespace vellinor
