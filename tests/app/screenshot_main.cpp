// vellinor-screenshot [--dark] OUT.png MEDIA [TRACK_ROW]: renders the main window, 1280x800,
// with MEDIA added and selected and the tracks-table row TRACK_ROW (default 1, the first stream)
// selected, into OUT.png; --dark renders it with a dark palette. Runs headless; settings go to a
// temporary folder.

#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QPixmap>
#include <QTemporaryDir>
#include <QUrl>

#include "app/app_delegate.h"
#include "app/array_controller.h"
#include "app/linux_desktop_services.h"
#include "app/main_window.h"
#include "app/user_defaults.h"

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
    return palette;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1 && arguments.at(1) == QStringLiteral("--dark")) {
        arguments.removeAt(1);
        QApplication::setStyle(QStringLiteral("Fusion"));
        QApplication::setPalette(darkPalette());
    }
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: vellinor-screenshot [--dark] OUT.png MEDIA [TRACK_ROW]\n");
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
