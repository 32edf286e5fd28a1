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
    UserDefaults* userDefaults = nullptr;

    // The version of the running build; none for a build without one. Set before launch.
    void setRunningVersion(std::optional<QString> version);
    // How files are probed (the tool to run, its time limit).
    void setProbeOptions(ProbeOptions options);

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
    void oneOfTheTableViewsSelectionChangedWithNotification(
        const vellinor::Notification& notification);
    void showSelectedFile();
    void showSelectedTrack();
    // Copies the selected track-details rows as "key<TAB>value" lines.
    void copySelectedTrackDetails();

private:
    void addEntries(const QList<QUrl>& urls);

    DesktopServices& m_desktopServices;
    std::optional<QString> m_runningVersion;
    ProbeOptions m_probeOptions;
};

}  // namespace vellinor
