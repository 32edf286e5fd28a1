// vellinor-screenshot OUT.png MEDIA [TRACK_ROW]: renders the main window, 1280x800, with MEDIA
// added and selected and the tracks-table row TRACK_ROW (default 1, the first stream)
// selected, into OUT.png. Runs headless; settings go to a temporary folder.

#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <QUrl>

#include "app/app_delegate.h"
#include "app/array_controller.h"
#include "app/linux_desktop_services.h"
#include "app/main_window.h"
#include "app/user_defaults.h"

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: vellinor-screenshot OUT.png MEDIA [TRACK_ROW]\n");
        return 2;
    }
    const int trackRow = arguments.size() > 3 ? arguments.at(3).toInt() : 1;

    QTemporaryDir settingsFolder;
    vellinor::UserDefaults defaults(settingsFolder.filePath(QStringLiteral("Vellinor.conf")));
    vellinor::LinuxDesktopServices desktop;
    vellinor::AppDelegate delegate(desktop);
    delegate.userDefaults = &defaults;
    vellinor::MainWindow window;
    window.connectOutlets(delegate);
    delegate.applicationDidFinishLaunching();

    window.resize(1280, 800);
    window.show();
    QApplication::processEvents();
    delegate.openURLs({QUrl::fromLocalFile(QDir::current().absoluteFilePath(arguments.at(2)))});
    window.tracksArrayController()->setSelectionIndex(trackRow);
    QApplication::processEvents();

    if (!window.grab().save(arguments.at(1))) {
        std::fprintf(stderr, "vellinor-screenshot: could not write %s\n",
                     qPrintable(arguments.at(1)));
        return 1;
    }
    return 0;
}
