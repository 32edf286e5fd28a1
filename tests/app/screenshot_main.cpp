// vellinor-screenshot [--dark] [--minimum | --maximised] [--tab details|facts] [--attachments]
// OUT.png MEDIA [TRACK_ROW]: renders the main window, 1280x800 (at its minimum size, or as a
// window maximised on a 1920x1080 screen), with MEDIA added and selected and the tracks-table row
// TRACK_ROW (default 1, the first stream) selected, into OUT.png; --dark renders it with a dark
// palette; --attachments renders the "Pictures and Attachments" window of MEDIA instead. Runs
// headless; settings go to a temporary folder. vellinor-screenshot [--dark] --compare OUT.png
// MEDIA...: adds every MEDIA, selects them all, runs "Compare" and renders the comparison window
// once every file is in. vellinor-screenshot [--dark] --bitrate OUT.png MEDIA: adds MEDIA, runs
// "Bitrate" and renders its window once the packets are read (printing how long that took).
// vellinor-screenshot [--dark] --policy POLICY OUT.png MEDIA...: adds every MEDIA, checks them
// against POLICY and renders the window with the last one displayed, its failing rules in the
// Policy panel. vellinor-screenshot [--dark] --sheet OUT.png MEDIA...: adds every MEDIA, opens
// the sheet of all files, sorts it by its first column once every row is in and renders it.

#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPalette>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QUrl>

#include "app/attachments/artwork_actions.h"
#include "app/attachments/attachments_dialog.h"
#include "app/bitrate/bitrate_action.h"
#include "app/bitrate/bitrate_window.h"
#include "app/compare/compare_action.h"
#include "app/compare/comparison_window.h"
#include "app/desktop/linux_desktop_services.h"
#include "app/desktop/user_defaults.h"
#include "app/policy/policy_view.h"
#include "app/sheet/sheet_window.h"
#include "app/widgets/array_controller.h"
#include "app/widgets/scroll_drop_view.h"
#include "app/window/app_delegate.h"
#include "app/window/main_window.h"
#include "app/window/view_actions.h"
#include "probe/probe_service.h"

namespace {

QPalette darkPalette()
{
    QPalette palette;
    const QColor window(0x2d, 0x2d, 0x30);
    const QColor base(0x1f, 0x1f, 0x22);
    const QColor text(0xe6, 0xe6, 0xe6);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Highlight, QColor(0x2f, 0x6f, 0xb3));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x8c, 0x8c, 0x90));
    // Greyed items (disabled actions, empty fields) read as such on the dark ground.
    const QColor greyed(0x7a, 0x7a, 0x80);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText})
        palette.setColor(QPalette::Disabled, role, greyed);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x3a, 0x3a, 0x40));
    palette.setColor(QPalette::Disabled, QPalette::Base, window);
    return palette;
}

// Opens `media` (relative to the current folder) as the application does at launch: through a
// probe server; gives how many files that is.
qsizetype openThroughAProbeServer(vellinor::AppDelegate& delegate, const QStringList& media)
{
    vellinor::ProbeOptions probeOptions;
    probeOptions.toolRunner = std::make_shared<vellinor::ProbeService>();
    delegate.setProbeOptions(probeOptions);
    QList<QUrl> urls;
    for (const QString& file : media)
        urls.append(QUrl::fromLocalFile(QDir::current().absoluteFilePath(file)));
    delegate.openURLs(urls);
    return urls.size();
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QStringList arguments = QApplication::arguments();
    // The window's size: as it opens, its minimum, or maximised on a 1080p screen (the offscreen
    // platform's screen is smaller, so "maximised" is drawn at that screen's work area).
    QSize windowSize(1280, 800);
    bool minimum = qEnvironmentVariableIsSet("VELLINOR_SCREENSHOT_MINIMUM");
    QString tab;
    for (bool more = true; more && arguments.size() > 1;) {
        more = false;
        if (arguments.at(1) == QStringLiteral("--dark")) {
            QApplication::setStyle(QStringLiteral("Fusion"));
            QApplication::setPalette(darkPalette());
            arguments.removeAt(1);
            more = true;
        } else if (arguments.at(1) == QStringLiteral("--minimum")) {
            minimum = true;
            arguments.removeAt(1);
            more = true;
        } else if (arguments.at(1) == QStringLiteral("--maximised")) {
            windowSize = QSize(1920, 1048);
            arguments.removeAt(1);
            more = true;
        } else if (arguments.at(1) == QStringLiteral("--tab") && arguments.size() > 2) {
            tab = arguments.at(2);
            arguments.remove(1, 2);
            more = true;
        }
    }
    QString policy;
    if (arguments.size() > 2 && arguments.at(1) == QStringLiteral("--policy")) {
        policy = QDir::current().absoluteFilePath(arguments.at(2));
        arguments.remove(1, 2);
    }
    const bool compare = arguments.size() > 1 && arguments.at(1) == QStringLiteral("--compare");
    if (compare)
        arguments.removeAt(1);
    const bool sheet = arguments.size() > 1 && arguments.at(1) == QStringLiteral("--sheet");
    if (sheet)
        arguments.removeAt(1);
    const bool bitrate = arguments.size() > 1 && arguments.at(1) == QStringLiteral("--bitrate");
    if (bitrate)
        arguments.removeAt(1);
    const bool attachments =
        arguments.size() > 1 && arguments.at(1) == QStringLiteral("--attachments");
    if (attachments)
        arguments.removeAt(1);
    if (arguments.size() < 3) {
        std::fprintf(
            stderr,
            "usage: vellinor-screenshot [--dark] [--compare | --bitrate | --attachments | --policy "
            "POLICY] OUT.png "
            "MEDIA... [TRACK_ROW]\n");
        return 2;
    }
    const int trackRow = arguments.size() > 3 && !compare && !sheet && policy.isEmpty()
                             ? arguments.at(3).toInt()
                             : 1;

    QTemporaryDir settingsFolder;
    vellinor::UserDefaults defaults(settingsFolder.filePath(QStringLiteral("Vellinor.conf")));
    vellinor::LinuxDesktopServices desktop;
    vellinor::AppDelegate delegate(desktop);
    delegate.userDefaults = &defaults;
    vellinor::MainWindow window;
    window.connectOutlets(delegate);
    delegate.applicationDidFinishLaunching();

    window.resize(windowSize);
    // At its minimum size, to check that nothing is cut (also VELLINOR_SCREENSHOT_MINIMUM=1).
    if (minimum)
        window.resize(window.minimumSizeHint().expandedTo(window.minimumSize()));
    if (!tab.isEmpty()) {
        if (auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("detailsTabs")))
            tabs->setCurrentIndex(tab == QStringLiteral("facts") ? 1 : 0);
    }
    window.show();
    QApplication::processEvents();
    if (compare) {
        const qsizetype files = openThroughAProbeServer(delegate, arguments.mid(2));
        window.fileListView()->selectAll();
        auto* action = window.findChild<vellinor::CompareAction*>();
        QElapsedTimer clock;
        clock.start();
        action->compareSelectedFiles();
        vellinor::ComparisonWindow* comparison = action->lastWindow();
        while (comparison != nullptr && !comparison->isComplete() && clock.elapsed() < 60'000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        std::fprintf(stderr, "vellinor-screenshot: %lld files compared in %lld ms\n",
                     static_cast<long long>(files), static_cast<long long>(clock.elapsed()));
        if (comparison == nullptr || !comparison->isComplete())
            return 1;
        comparison->resize(1280, 880);
        QApplication::processEvents();
        if (!comparison->grab().save(arguments.at(1)))
            return 1;
        return 0;
    }
    if (sheet) {
        const qsizetype files = openThroughAProbeServer(delegate, arguments.mid(2));
        auto* actions = window.findChild<vellinor::ViewActions*>();
        actions->showSheet();
        vellinor::SheetWindow* shown = actions->sheetWindow();
        QElapsedTimer clock;
        clock.start();
        while (shown != nullptr && !shown->isComplete() && clock.elapsed() < 120'000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        std::fprintf(stderr, "vellinor-screenshot: %lld files in the sheet in %lld ms\n",
                     static_cast<long long>(files), static_cast<long long>(clock.elapsed()));
        if (shown == nullptr || !shown->isComplete())
            return 1;
        shown->tableView()->sortByColumn(0, Qt::AscendingOrder);
        shown->resize(minimum ? shown->minimumSizeHint() : windowSize);
        QApplication::processEvents();
        return shown->grab().save(arguments.at(1)) ? 0 : 1;
    }
    if (!policy.isEmpty()) {
        const qsizetype files = openThroughAProbeServer(delegate, arguments.mid(2));
        auto* view = window.findChild<vellinor::PolicyView*>();
        view->choosePolicy(policy);
        QElapsedTimer clock;
        clock.start();
        QApplication::processEvents();
        while ((view->isWorking() || delegate.isBusy()) && clock.elapsed() < 120'000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        std::fprintf(stderr, "vellinor-screenshot: %lld files checked in %lld ms\n",
                     static_cast<long long>(files), static_cast<long long>(clock.elapsed()));
        if (view->isWorking())
            return 1;
        window.tracksArrayController()->setSelectionIndex(trackRow);
        QApplication::processEvents();
        return window.grab().save(arguments.at(1)) ? 0 : 1;
    }
    delegate.openURLs({QUrl::fromLocalFile(QDir::current().absoluteFilePath(arguments.at(2)))});
    // The probe answers off the UI thread.
    while (delegate.isBusy())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    QApplication::processEvents();
    window.tracksArrayController()->setSelectionIndex(trackRow);
    QApplication::processEvents();
    if (bitrate) {
        window.fileListArrayController()->setSelectionIndex(0);
        auto* action = window.findChild<vellinor::BitrateAction*>();
        QElapsedTimer clock;
        clock.start();
        action->showBitrateOfSelectedFile();
        vellinor::BitrateWindow* shown = action->lastWindow();
        while (shown != nullptr && shown->isReading() && clock.elapsed() < 120'000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        if (shown == nullptr || shown->isReading())
            return 1;
        shown->resize(1100, 560);
        QApplication::processEvents();
        const QPixmap picture = shown->grab();
        std::fprintf(stderr, "vellinor-screenshot: bitrate graph drawn %lld ms after the command\n",
                     static_cast<long long>(clock.elapsed()));
        return picture.save(arguments.at(1)) ? 0 : 1;
    }

    QWidget* shown = &window;
    if (attachments) {
        auto* actions = window.findChild<vellinor::ArtworkActions*>();
        actions->showAttachments();
        vellinor::AttachmentsDialog* dialog = actions->attachmentsDialog();
        if (dialog == nullptr)
            return 1;
        QElapsedTimer waited;
        waited.start();
        while (dialog->isReading() && waited.elapsed() < 10'000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        QApplication::processEvents();
        shown = dialog;
    }

    if (!shown->grab().save(arguments.at(1))) {
        std::fprintf(stderr, "vellinor-screenshot: could not write %s\n",
                     qPrintable(arguments.at(1)));
        return 1;
    }
    return 0;
}
