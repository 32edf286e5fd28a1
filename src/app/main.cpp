// vellinor: the desktop application. Every command-line argument is a file to add (the desktop
// entry passes the files the user opened); when the application already runs for this user,
// the files go to its window and this launch ends.

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QTextStream>
#include <QUrl>

#include <memory>
#include <utility>

#include "app/desktop/instance_channel.h"
#include "app/desktop/linux_desktop_services.h"
#include "app/desktop/resource_check.h"
#include "app/desktop/user_defaults.h"
#include "app/window/app_delegate.h"
#include "app/window/main_window.h"
#include "app/window/probe_wait.h"
#include "base/diagnostics.h"
#include "platform/bundle.h"
#include "probe/probe_runner.h"

namespace {

QList<QUrl> fileUrls(const QStringList& paths)
{
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    return urls;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vellinor"));
    QApplication::setApplicationName(QStringLiteral("Vellinor"));
    QApplication::setApplicationVersion(QStringLiteral(VELLINOR_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("vellinor"));
    // The installed icon (share/icons/hicolor); X11 window managers take it from the window.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("vellinor")));

    if (QApplication::arguments().value(1) == vellinor::checkResourcesOption) {
        QTextStream out(stdout);
        return vellinor::checkResources(out);
    }

    const QStringList files =
        vellinor::absoluteFilePaths(QApplication::arguments().mid(1), QDir::currentPath());

    const QString serverName = vellinor::instanceServerName();
    vellinor::InstanceServer server(serverName);
    switch (vellinor::handOverToRunningInstance(serverName, files)) {
        case vellinor::HandOverResult::handedOver:
            return 0;
        case vellinor::HandOverResult::noInstance:
            if (const vellinor::Status listening = server.listen(); !listening)
                vellinor::diagnostics::emitLine("Could not listen for other launches (" +
                                                listening.error() +
                                                "); files opened later start another window");
            break;
        case vellinor::HandOverResult::failed:
            // The running one does not answer; this launch shows its files in its own window.
            break;
    }

    vellinor::UserDefaults userDefaults;
    vellinor::LinuxDesktopServices desktopServices;
    vellinor::AppDelegate delegate(desktopServices);
    delegate.setRunningVersion(QStringLiteral(VELLINOR_VERSION));
    delegate.userDefaults = &userDefaults;
    // The probe server this user's programs share (or, without one, a private server started
    // now), so a selection is answered without starting a tool; files that have not changed
    // are answered from the probe cache vellinor-cli shares.
    vellinor::ProbeOptions probeOptions;
    probeOptions.bitstreamFacts = true;  // the Facts view shows them
    vellinor::ProbeRunnerSetup runner;
    runner.service.shared = true;
    runner.startServersNow = true;
    probeOptions.toolRunner = vellinor::makeProbeRunner(runner);
    delegate.setProbeOptions(std::move(probeOptions));

    vellinor::MainWindow window;
    window.connectOutlets(delegate);
    QApplication::setQuitOnLastWindowClosed(
        delegate.applicationShouldTerminateAfterLastWindowClosed());
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &delegate, [&delegate, &server] {
        // No probe tool is waited for on the way out.
        vellinor::endProbesForQuit();
        server.close();
        delegate.applicationWillTerminate();
    });
    QObject::connect(&server, &vellinor::InstanceServer::filesReceived, &delegate,
                     [&delegate, &window](const QStringList& paths) {
                         delegate.openURLs(fileUrls(paths));
                         delegate.applicationShouldHandleReopen(window.isVisible());
                         // The user just asked for these files: come to the front.
                         window.activateWindow();
                     });

    delegate.applicationDidFinishLaunching();
    window.show();
    delegate.openURLs(fileUrls(files));
    return QApplication::exec();
}
